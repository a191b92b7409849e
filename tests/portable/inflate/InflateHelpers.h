#pragma once
// Small helpers shared by the inflater's tests.

#include "tests/portable/inflate/ZlibPeer.h"

#include <cstdint>
#include <string>

namespace moirelle::test {

struct InflateResult {
    bool ok = false;
    Bytes output; // the whole output buffer, zero-filled before the call
};

// Runs Inflate on `stream` with a zero-filled output buffer of `outputSize` bytes.
InflateResult RunInflate(const Bytes& stream, size_t outputSize);

Bytes ToBytes(const std::string& text);

// Deterministic pseudo-random numbers for generated data.
class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    uint32_t Below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(Next() % n); }

  private:
    uint64_t state_;
};

} // namespace moirelle::test
