// A plain inflater that follows the rules step by step (sparse tables probed by
// increasing length, one byte fetched at a time): the yardstick for the fast one.
// It keeps its own copies of the standard tables and header reading on purpose, so that a
// slip in the fast inflater's shows up as a difference.
#include "tests/portable/inflate/ReferenceInflater.h"

#include <array>
#include <cstring>
#include <vector>

namespace moirelle::test {
namespace {

constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                  15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                  67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                    4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                    9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                      11, 4,  12, 3, 13, 2, 14, 1, 15};

// A sparse decode table: the entry at a code's bit-reversed value holds its length and
// symbol; all other entries have length 0.
struct HuffmanTable {
    std::vector<uint8_t> lengths;
    std::vector<uint16_t> symbols;
    int shortest = 0;
    int longest = 0;
};

class InflateRun {
  public:
    InflateRun(uint8_t* output, size_t outputSize, const uint8_t* input, size_t inputSize)
        : out_(output), outSize_(outputSize), in_(input), inSize_(inputSize) {}

    bool Run() {
        bool final = false;
        while (!final) {
            uint32_t header = 0;
            if (!GetBits(3, header)) return false;
            final = (header & 1) != 0;
            switch (header >> 1) {
            case 0:
                if (!Stored()) return false;
                break;
            case 1:
                if (!fixedBuilt_ && !FixedTables()) return false;
                if (!Codes(fixedLiteral_, fixedDistance_)) return false;
                break;
            case 2:
                if (!DynamicTables() || !Codes(literal_, distance_)) return false;
                break;
            default:
                return false;
            }
        }
        return true;
    }

  private:
    void NeedBits(int n) {
        while (bitsHeld_ < n && inPos_ < inSize_) {
            bitBuffer_ |= static_cast<uint64_t>(in_[inPos_++]) << bitsHeld_;
            bitsHeld_ += 8;
        }
    }

    void DropBits(int n) {
        // Bits that the input could not supply were read as zero; they are gone now.
        if (n >= bitsHeld_) {
            bitBuffer_ = 0;
            bitsHeld_ = 0;
        } else {
            bitBuffer_ >>= n;
            bitsHeld_ -= n;
        }
    }

    bool GetBits(int n, uint32_t& value) {
        NeedBits(n);
        if (bitsHeld_ < n) return false;
        value = static_cast<uint32_t>(bitBuffer_ & ((uint64_t{1} << n) - 1));
        DropBits(n);
        return true;
    }

    static uint32_t ReverseBits(uint32_t code, int length) {
        uint32_t result = 0;
        for (int i = 0; i < length; ++i) {
            result = (result << 1) | (code & 1);
            code >>= 1;
        }
        return result;
    }

    static bool BuildHuffmanTable(const uint8_t* lengths, int count, HuffmanTable& table) {
        std::array<int, 17> perLength{};
        for (int i = 0; i < count; ++i) {
            if (lengths[i] > 16) return false;
            ++perLength[lengths[i]];
        }
        int longest = 0;
        int shortest = 0;
        for (int length = 1; length <= 16; ++length) {
            if (perLength[length] == 0) continue;
            if (shortest == 0) shortest = length;
            longest = length;
        }
        int left = 1;
        for (int length = 1; length <= longest; ++length) {
            left = 2 * left - perLength[length];
            if (left < 0) return false;
        }
        std::array<uint32_t, 17> nextCode{};
        uint32_t code = 0;
        perLength[0] = 0;
        for (int length = 1; length <= 16; ++length) {
            code = (code + static_cast<uint32_t>(perLength[length - 1])) << 1;
            nextCode[length] = code;
        }
        table.lengths.assign(size_t{1} << longest, 0);
        table.symbols.assign(size_t{1} << longest, 0);
        table.shortest = shortest;
        table.longest = longest;
        for (int symbol = 0; symbol < count; ++symbol) {
            const int length = lengths[symbol];
            if (length == 0) continue;
            const uint32_t index = ReverseBits(nextCode[length]++, length);
            table.lengths[index] = static_cast<uint8_t>(length);
            table.symbols[index] = static_cast<uint16_t>(symbol);
        }
        return true;
    }

    bool Decode(const HuffmanTable& table, int& symbol) {
        if (table.longest == 0) return false;
        NeedBits(table.longest);
        for (int length = table.shortest; length <= table.longest; ++length) {
            const size_t index = static_cast<size_t>(bitBuffer_ & ((uint64_t{1} << length) - 1));
            if (table.lengths[index] == length) {
                symbol = table.symbols[index];
                DropBits(length);
                return true;
            }
        }
        return false;
    }

    bool Stored() {
        // Whole bytes still held go back to the input; the rest of the current byte is skipped.
        inPos_ -= static_cast<size_t>(bitsHeld_ / 8);
        bitBuffer_ = 0;
        bitsHeld_ = 0;
        uint32_t length = 0;
        uint32_t complement = 0;
        if (!GetBits(16, length) || !GetBits(16, complement)) return false;
        if (length != (~complement & 0xFFFF)) return false;
        if (inSize_ - inPos_ < length || outSize_ - outPos_ < length) return false;
        if (length != 0) std::memcpy(out_ + outPos_, in_ + inPos_, length);
        inPos_ += length;
        outPos_ += length;
        bitBuffer_ = 0;
        bitsHeld_ = 0;
        return true;
    }

    bool FixedTables() {
        std::array<uint8_t, 288> lengths{};
        for (int i = 0; i < 288; ++i)
            lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        std::array<uint8_t, 32> distances{};
        distances.fill(5);
        if (!BuildHuffmanTable(lengths.data(), 288, fixedLiteral_) ||
            !BuildHuffmanTable(distances.data(), 32, fixedDistance_))
            return false;
        fixedBuilt_ = true;
        return true;
    }

    bool DynamicTables() {
        uint32_t hlit = 0, hdist = 0, hclen = 0;
        if (!GetBits(5, hlit) || !GetBits(5, hdist) || !GetBits(4, hclen)) return false;
        const int literalCount = static_cast<int>(hlit) + 257;
        const int distanceCount = static_cast<int>(hdist) + 1;
        std::array<uint8_t, 19> codeLengthLengths{};
        for (uint32_t i = 0; i < hclen + 4; ++i) {
            uint32_t value = 0;
            if (!GetBits(3, value)) return false;
            codeLengthLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(value);
        }
        HuffmanTable codeLengths;
        if (!BuildHuffmanTable(codeLengthLengths.data(), 19, codeLengths)) return false;

        const int total = literalCount + distanceCount;
        std::array<uint8_t, 288 + 32> lengths{};
        int i = 0;
        while (i < total) {
            int symbol = 0;
            if (!Decode(codeLengths, symbol)) return false;
            if (symbol < 16) {
                lengths[i++] = static_cast<uint8_t>(symbol);
                continue;
            }
            uint32_t extra = 0;
            int repeat = 0;
            uint8_t value = 0;
            if (symbol == 16) {
                if (i == 0) return false;
                if (!GetBits(2, extra)) return false;
                repeat = 3 + static_cast<int>(extra);
                value = lengths[i - 1];
            } else if (symbol == 17) {
                if (!GetBits(3, extra)) return false;
                repeat = 3 + static_cast<int>(extra);
            } else {
                if (!GetBits(7, extra)) return false;
                repeat = 11 + static_cast<int>(extra);
            }
            if (i + repeat > total) return false;
            while (repeat-- > 0)
                lengths[i++] = value;
        }
        return BuildHuffmanTable(lengths.data(), literalCount, literal_) &&
               BuildHuffmanTable(lengths.data() + literalCount, distanceCount, distance_);
    }

    bool Codes(const HuffmanTable& literal, const HuffmanTable& distance) {
        for (;;) {
            int symbol = 0;
            if (!Decode(literal, symbol)) return false;
            if (symbol < 256) {
                if (outPos_ >= outSize_) return false;
                out_[outPos_++] = static_cast<uint8_t>(symbol);
                continue;
            }
            if (symbol == 256) return true;
            symbol -= 257;
            if (symbol >= 29) return false;
            uint32_t extra = 0;
            if (!GetBits(kLengthExtra[symbol], extra)) return false;
            const size_t length = kLengthBase[symbol] + extra;
            int distanceSymbol = 0;
            if (!Decode(distance, distanceSymbol) || distanceSymbol >= 30) return false;
            if (!GetBits(kDistanceExtra[distanceSymbol], extra)) return false;
            const size_t dist = kDistanceBase[distanceSymbol] + extra;
            if (dist > outPos_ || outSize_ - outPos_ < length) return false;
            for (size_t k = 0; k < length; ++k, ++outPos_)
                out_[outPos_] = out_[outPos_ - dist];
        }
    }

    uint8_t* out_;
    size_t outSize_;
    size_t outPos_ = 0;
    const uint8_t* in_;
    size_t inSize_;
    size_t inPos_ = 2;
    uint64_t bitBuffer_ = 0;
    int bitsHeld_ = 0;
    HuffmanTable literal_, distance_, fixedLiteral_, fixedDistance_;
    bool fixedBuilt_ = false;
};

} // namespace

bool ReferenceInflate(uint8_t* output, size_t outputSize, const uint8_t* input, size_t inputSize) {
    if (input == nullptr || (output == nullptr && outputSize != 0)) return false;
    try {
        return InflateRun(output, outputSize, input, inputSize).Run();
    } catch (...) {
        return false;
    }
}

} // namespace moirelle::test
