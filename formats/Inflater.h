#pragma once
// The built-in DEFLATE inflater, used for PNG image data when zlib is absent or fails.

#include <cstddef>
#include <cstdint>

namespace moirelle {

// Inflates the zlib-wrapped DEFLATE stream `input` into `output`, a buffer of exactly
// outputSize bytes that the caller has zero-filled. The 2-byte zlib header is skipped
// unread and the Adler-32 trailer is never checked. True when the stream decoded
// without error; bytes of `output` past what was decoded keep their contents.
bool Inflate(uint8_t* output, size_t outputSize, const uint8_t* input, size_t inputSize);

} // namespace moirelle
