#pragma once
// The built-in DEFLATE inflater, used for PNG image data when zlib is absent or fails.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

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

// The same inflater run a window at a time, for input that lies in pieces and output that
// is taken as it comes. It decodes exactly what Inflate decodes from the pieces joined and
// followed by zeroTail zero bytes into a buffer of outputLimit bytes (the Adler-32 is not
// looked at). The pieces must stay valid while it runs; nothing of them is copied beyond a
// few bytes around each boundary. It keeps 32 KiB of history and a chunk of chunkSize
// bytes of new output.
class InflateStream {
  public:
    static constexpr size_t kDefaultChunk = 256 * 1024;

    InflateStream(std::vector<std::span<const uint8_t>> pieces, uint64_t zeroTail,
                  size_t outputLimit, size_t chunkSize = kDefaultChunk);
    ~InflateStream();
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    enum class Status {
        More,   // the chunk is full: take `produced` and call again
        Done,   // the stream ended; `produced` holds its last bytes
        Failed, // as Inflate failing; `produced` holds what was decoded before the fault
    };
    // Decodes on until the chunk is full or the stream ends. `produced` receives the bytes
    // decoded by this call, valid until the next call.
    Status Next(std::span<const uint8_t>& produced);

    // Once Next has answered Done: compares `adler`, the Adler-32 of everything produced,
    // with the big-endian trailer at the first whole byte after the final block (Missing
    // when fewer than 4 bytes of the pieces follow it; Unchecked before the end).
    InflateChecksum CompareTrailer(uint32_t adler);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace moirelle
