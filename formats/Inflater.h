#pragma once
// The built-in DEFLATE inflater, used for PNG image data when zlib is absent or fails.

#include <cstddef>
#include <cstdint>

namespace moirelle {

// Inflates the zlib-wrapped DEFLATE stream `input` into `output`, a buffer of exactly
// outputSize bytes that the caller has zero-filled. The 2-byte zlib header is skipped
// unread and the Adler-32 trailer is never checked. True when the stream decoded
// without error; bytes of `output` past what was decoded are left zero (as handed in).
// A match reaching back before the start of the output fails; missing bits of a Huffman
// code at the very end of the input read as zero, any other read past the end fails.
bool Inflate(uint8_t* output, size_t outputSize, const uint8_t* input, size_t inputSize);

} // namespace moirelle
