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

// What the stream's Adler-32 trailer said about the decoded bytes.
enum class InflateChecksum {
    Unchecked, // the stream did not decode, so nothing was compared
    Matches,
    Mismatch,
    Missing, // fewer than 4 bytes follow the final block
};

// As above, and when the stream decoded, compares the Adler-32 of the decoded bytes with
// the big-endian trailer at the first whole byte after the final block. The result is
// that of the decode alone: a wrong or missing checksum does not make it false, the
// caller decides what it means.
bool Inflate(uint8_t* output, size_t outputSize, const uint8_t* input, size_t inputSize,
             InflateChecksum* checksum);

} // namespace moirelle
