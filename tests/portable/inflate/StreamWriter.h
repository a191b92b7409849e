#pragma once
// Writes DEFLATE streams bit by bit, for tests that need exact, hand-made blocks.

#include "tests/portable/inflate/ZlibPeer.h"

#include <cstdint>
#include <vector>

namespace moirelle::test {

// Canonical codes for a set of code lengths (0 = symbol unused).
struct HuffmanCodes {
    std::vector<uint32_t> code;
    std::vector<int> length;
};
HuffmanCodes CanonicalCodes(const std::vector<int>& lengths);

// One symbol of a dynamic header's code-length sequence, with its extra bits.
struct CodeLengthOp {
    int symbol;
    int extra = 0;
};

class StreamWriter {
  public:
    // Starts with a 2-byte zlib header (which the inflater skips unread).
    StreamWriter();

    void Bits(uint32_t value, int count); // least significant bit first
    void Code(uint32_t code, int length); // a Huffman code, most significant bit first
    void BlockHeader(bool final, int type);
    void FixedLiteral(int symbol); // literal/length symbols 0..287 of the fixed code
    void FixedDistance(int symbol);
    void AlignToByte();
    // A complete stored block (header, alignment, LEN, NLEN, data).
    void Stored(bool final, const Bytes& data);
    // A dynamic block header: HLIT/HDIST counts as given (257..288, 1..32) and the
    // code-length sequence, written with a complete code-length code (0..15: 5 bits,
    // 16: 2 bits, 17 and 18: 3 bits).
    void DynamicHeader(bool final, int literalCount, int distanceCount,
                       const std::vector<CodeLengthOp>& ops);
    // A dynamic header listing every length literally; returns nothing, use
    // CanonicalCodes on the same lengths to write symbols.
    void DynamicHeader(bool final, const std::vector<int>& literalLengths,
                       const std::vector<int>& distanceLengths);
    void Symbol(const HuffmanCodes& codes, int symbol);

    // The stream so far, the last partial byte padded with zero bits.
    Bytes Finish() const;

  private:
    Bytes bytes_;
    uint32_t pending_ = 0;
    int pendingBits_ = 0;
};

} // namespace moirelle::test
