#pragma once
// A slow, literal inflater with the same contract as moirelle::Inflate, for comparison.

#include <cstddef>
#include <cstdint>

namespace moirelle::test {

bool ReferenceInflate(uint8_t* output, size_t outputSize, const uint8_t* input, size_t inputSize);

} // namespace moirelle::test
