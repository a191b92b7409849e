#pragma once
// Block steps of Adler-32 by instruction set (formats/Adler32.cpp chooses).

#include <cstddef>
#include <cstdint>

namespace moirelle::adler {

// Adds n bytes (a multiple of 64, at most 5504) to the unreduced sums a and b (each below
// 65521 on entry); the caller reduces them afterwards.
void BlockAvx2(uint32_t& a, uint32_t& b, const uint8_t* p, size_t n);

// Adds n bytes (a multiple of 64, at most kAvx512Most) to the sums a and b (each below
// 65521 on entry) and reduces them. Only where HasAvx512() says so.
constexpr size_t kAvx512Most = size_t{1} << 21;
void BlockAvx512(uint32_t& a, uint32_t& b, const uint8_t* p, size_t n);
// True when the processor has AVX-512 F, BW and VNNI and the system saves their registers.
bool HasAvx512();

// Marks the upper halves of the 256-bit registers unused (only on a processor with AVX):
// 256-bit code run before, ours or another library's, may leave them in use, and 128-bit
// code of the older encoding then waits on them at every step.
void ClearUpperHalves();

} // namespace moirelle::adler
