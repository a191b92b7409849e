#pragma once
// SHA-256 as a lower-case hex string, for comparing outputs with published digests.

#include <cstddef>
#include <cstdint>
#include <string>

namespace moirelle::test {

std::string Sha256Hex(const uint8_t* data, size_t size);

} // namespace moirelle::test
