#include "tests/portable/inflate/StreamWriter.h"

#include <array>

namespace moirelle::test {

HuffmanCodes CanonicalCodes(const std::vector<int>& lengths) {
    std::array<uint32_t, 17> count{};
    for (int l : lengths)
        if (l > 0) ++count[l];
    std::array<uint32_t, 17> next{};
    uint32_t code = 0;
    for (int l = 1; l <= 16; ++l) {
        code = (code + count[l - 1]) << 1;
        next[l] = code;
    }
    HuffmanCodes codes;
    codes.code.resize(lengths.size());
    codes.length = lengths;
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] > 0) codes.code[s] = next[lengths[s]]++;
    return codes;
}

StreamWriter::StreamWriter() : bytes_{0x78, 0x9c} {}

void StreamWriter::Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        pending_ |= ((value >> i) & 1u) << pendingBits_;
        if (++pendingBits_ == 8) {
            bytes_.push_back(static_cast<uint8_t>(pending_));
            pending_ = 0;
            pendingBits_ = 0;
        }
    }
}

void StreamWriter::Code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i)
        Bits((code >> i) & 1u, 1);
}

void StreamWriter::BlockHeader(bool final, int type) {
    Bits(final ? 1 : 0, 1);
    Bits(static_cast<uint32_t>(type), 2);
}

void StreamWriter::FixedLiteral(int symbol) {
    if (symbol < 144)
        Code(0x30 + symbol, 8);
    else if (symbol < 256)
        Code(0x190 + (symbol - 144), 9);
    else if (symbol < 280)
        Code(symbol - 256, 7);
    else
        Code(0xC0 + (symbol - 280), 8);
}

void StreamWriter::FixedDistance(int symbol) {
    Code(static_cast<uint32_t>(symbol), 5);
}

void StreamWriter::AlignToByte() {
    if (pendingBits_ != 0) Bits(0, 8 - pendingBits_);
}

void StreamWriter::Stored(bool final, const Bytes& data) {
    BlockHeader(final, 0);
    AlignToByte();
    const auto len = static_cast<uint32_t>(data.size());
    Bits(len, 16);
    Bits(~len & 0xFFFF, 16);
    for (uint8_t b : data)
        Bits(b, 8);
}

void StreamWriter::DynamicHeader(bool final, int literalCount, int distanceCount,
                                 const std::vector<CodeLengthOp>& ops) {
    BlockHeader(final, 2);
    Bits(static_cast<uint32_t>(literalCount - 257), 5);
    Bits(static_cast<uint32_t>(distanceCount - 1), 5);
    Bits(15, 4); // all 19 code-length code lengths follow
    std::vector<int> clLengths(19, 5);
    clLengths[16] = 2;
    clLengths[17] = 3;
    clLengths[18] = 3;
    static const std::array<int, 19> order = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                              11, 4,  12, 3, 13, 2, 14, 1, 15};
    for (int s : order)
        Bits(static_cast<uint32_t>(clLengths[s]), 3);
    const HuffmanCodes cl = CanonicalCodes(clLengths);
    for (const CodeLengthOp& op : ops) {
        Symbol(cl, op.symbol);
        if (op.symbol == 16) Bits(static_cast<uint32_t>(op.extra), 2);
        if (op.symbol == 17) Bits(static_cast<uint32_t>(op.extra), 3);
        if (op.symbol == 18) Bits(static_cast<uint32_t>(op.extra), 7);
    }
}

void StreamWriter::DynamicHeader(bool final, const std::vector<int>& literalLengths,
                                 const std::vector<int>& distanceLengths) {
    std::vector<CodeLengthOp> ops;
    for (int l : literalLengths)
        ops.push_back({l});
    for (int l : distanceLengths)
        ops.push_back({l});
    DynamicHeader(final, static_cast<int>(literalLengths.size()),
                  static_cast<int>(distanceLengths.size()), ops);
}

void StreamWriter::Symbol(const HuffmanCodes& codes, int symbol) {
    Code(codes.code[static_cast<size_t>(symbol)], codes.length[static_cast<size_t>(symbol)]);
}

Bytes StreamWriter::Finish() const {
    Bytes out = bytes_;
    if (pendingBits_ != 0) out.push_back(static_cast<uint8_t>(pending_));
    return out;
}

} // namespace moirelle::test
