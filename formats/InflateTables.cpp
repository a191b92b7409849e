#include "formats/InflateTables.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace moirelle::inflate {
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

// The entry of a symbol before its code length is added: kind, value and extra bits.
uint32_t SymbolEntry(Alphabet alphabet, int symbol) {
    const auto s = static_cast<uint32_t>(symbol);
    switch (alphabet) {
    case Alphabet::LiteralLength:
        if (symbol < 256) return (s << 16) | kEntryLiteral;
        if (symbol == 256) return kEntryEndOfBlock;
        if (symbol < 286) return (uint32_t{kLengthBase[s - 257]} << 16) | kLengthExtra[s - 257];
        return kEntryInvalid;
    case Alphabet::Distance:
        if (symbol < 30) return (uint32_t{kDistanceBase[s]} << 16) | kDistanceExtra[s];
        return kEntryInvalid;
    case Alphabet::CodeLength:
        return (s << 16) | kEntryLiteral;
    }
    return kEntryInvalid;
}

int TableBits(Alphabet alphabet) {
    switch (alphabet) {
    case Alphabet::LiteralLength:
        return kLiteralTableBits;
    case Alphabet::Distance:
        return kDistanceTableBits;
    case Alphabet::CodeLength:
        return kCodeLengthTableBits;
    }
    return 0;
}

constexpr std::array<uint8_t, 256> kReversedBytes = [] {
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int b = 0; b < 8; ++b)
            r |= ((i >> b) & 1) << (7 - b);
        table[static_cast<size_t>(i)] = static_cast<uint8_t>(r);
    }
    return table;
}();

// The low `length` (1..15) bits of `code`, in reverse order.
uint32_t Reverse(uint32_t code, int length) {
    const uint32_t reversed16 =
        (uint32_t{kReversedBytes[code & 0xFF]} << 8) | kReversedBytes[(code >> 8) & 0xFF];
    return reversed16 >> (16 - length);
}

// Writes `entry` at every index of a table of 2^width entries whose low `length` bits
// equal `index`.
void Replicate(uint32_t* table, uint32_t index, int length, int width, uint32_t entry) {
    const uint32_t end = uint32_t{1} << width;
    for (uint32_t i = index; i < end; i += uint32_t{1} << length)
        table[i] = entry;
}

// Where a literal's code leaves room in the index for a whole second literal code, the
// entry gives both. Pairs are laid down from the literal codes themselves, shortest
// first, rather than by testing every index: each index that starts with a literal code
// followed by another is written once. `sorted` lists the used symbols by code length,
// `reversed` their codes as table indices.
void PairLiterals(uint32_t* table, int width, const uint8_t* lengths, const uint16_t* sorted,
                  const uint16_t* reversed, int used) {
    struct Code {
        uint32_t index, length, byte;
    };
    std::array<Code, 256> codes;
    int n = 0;
    for (int k = 0; k < used; ++k) {
        const int symbol = sorted[static_cast<size_t>(k)];
        const int length = lengths[symbol];
        if (length >= width) break;
        if (symbol < 256)
            codes[static_cast<size_t>(n++)] = {reversed[static_cast<size_t>(k)],
                                               static_cast<uint32_t>(length),
                                               static_cast<uint32_t>(symbol)};
    }
    const auto w = static_cast<uint32_t>(width);
    const uint32_t size = uint32_t{1} << width;
    for (int a = 0; a < n && codes[static_cast<size_t>(a)].length + codes[0].length <= w; ++a) {
        const Code first = codes[static_cast<size_t>(a)];
        for (int b = 0; b < n && first.length + codes[static_cast<size_t>(b)].length <= w; ++b) {
            const Code second = codes[static_cast<size_t>(b)];
            const uint32_t both = first.length + second.length;
            const uint32_t entry = (first.byte << 16) | (second.byte << 24) | kEntryLiteral |
                                   kEntrySecondLiteral | (first.length << 8) | both;
            for (uint32_t i = first.index | (second.index << first.length); i < size;
                 i += uint32_t{1} << both)
                table[i] = entry;
        }
    }
}

} // namespace

bool BuildDecodeTable(Alphabet alphabet, const uint8_t* lengths, int count, uint32_t* table) {
    std::array<int, 16> perLength{};
    for (int i = 0; i < count; ++i) {
        if (lengths[i] > 15) return false;
        ++perLength[lengths[i]];
    }
    int left = 1;
    for (int length = 1; length <= 15; ++length) {
        left = 2 * left - perLength[length];
        if (left < 0) return false;
    }

    // Symbols sorted by code length, then by symbol: the canonical order.
    std::array<int, 16> offsets{};
    for (int length = 1; length < 15; ++length)
        offsets[length + 1] = offsets[length] + perLength[length];
    std::array<uint16_t, kMaxLiteralSymbols> sorted{};
    for (int s = 0; s < count; ++s)
        if (lengths[s] != 0)
            sorted[static_cast<size_t>(offsets[lengths[s]]++)] = static_cast<uint16_t>(s);
    const int used = count - perLength[0];

    // Canonical codes, bit-reversed so that they index the table directly.
    std::array<uint16_t, kMaxLiteralSymbols> reversed{};
    uint32_t code = 0;
    for (int k = 0; k < used; ++k) {
        const int length = lengths[sorted[static_cast<size_t>(k)]];
        const int previous = k > 0 ? lengths[sorted[static_cast<size_t>(k - 1)]] : length;
        if (k > 0) code = (code + 1) << (length - previous);
        reversed[static_cast<size_t>(k)] = static_cast<uint16_t>(Reverse(code, length));
    }

    const int width = TableBits(alphabet);
    const uint32_t mainSize = uint32_t{1} << width;

    // Codes up to the main width, shortest first: the filled part of the table doubles
    // (its entries repeating) each time the code length grows, so that every code ends
    // up at each index whose low bits are the code.
    table[0] = kEntryInvalid;
    uint32_t filled = 1;
    int k = 0;
    for (; k < used; ++k) {
        const int symbol = sorted[static_cast<size_t>(k)];
        const int length = lengths[symbol];
        if (length > width) break;
        for (; filled < (uint32_t{1} << length); filled *= 2)
            std::memcpy(table + filled, table, filled * sizeof(uint32_t));
        const auto l = static_cast<uint32_t>(length);
        table[reversed[static_cast<size_t>(k)]] = SymbolEntry(alphabet, symbol) + (l << 8) + l;
    }
    for (; filled < mainSize; filled *= 2)
        std::memcpy(table + filled, table, filled * sizeof(uint32_t));
    if (k == used) {
        if (alphabet == Alphabet::LiteralLength)
            PairLiterals(table, width, lengths, sorted.data(), reversed.data(), used);
        return true;
    }

    // Codes longer than the main width: each first-bits prefix gets a subtable as wide as
    // its longest code needs.
    std::array<uint8_t, size_t{1} << kLiteralTableBits> longest{};
    for (int j = k; j < used; ++j) {
        const int length = lengths[sorted[static_cast<size_t>(j)]];
        uint8_t& l = longest[reversed[static_cast<size_t>(j)] & (mainSize - 1)];
        l = std::max(l, static_cast<uint8_t>(length));
    }
    uint32_t tableEnd = mainSize;
    for (; k < used; ++k) {
        const int symbol = sorted[static_cast<size_t>(k)];
        const int length = lengths[symbol];
        const uint32_t rev = reversed[static_cast<size_t>(k)];
        const uint32_t prefix = rev & (mainSize - 1);
        const int subBits = longest[prefix] - width;
        if ((table[prefix] & kEntrySubtable) == 0) {
            table[prefix] = (tableEnd << 16) | kEntrySubtable |
                            (static_cast<uint32_t>(subBits) << 8) | static_cast<uint32_t>(width);
            std::fill(table + tableEnd, table + tableEnd + (uint32_t{1} << subBits), kEntryInvalid);
            tableEnd += uint32_t{1} << subBits;
        }
        const auto l = static_cast<uint32_t>(length - width);
        Replicate(table + EntryValue(table[prefix]), rev >> width, length - width, subBits,
                  SymbolEntry(alphabet, symbol) + (l << 8) + l);
    }
    if (alphabet == Alphabet::LiteralLength)
        PairLiterals(table, width, lengths, sorted.data(), reversed.data(), used);
    return true;
}

const FixedTables& GetFixedTables() {
    static const std::unique_ptr<FixedTables> tables = [] {
        auto t = std::make_unique<FixedTables>();
        std::array<uint8_t, kMaxLiteralSymbols> lengths{};
        for (int i = 0; i < kMaxLiteralSymbols; ++i)
            lengths[static_cast<size_t>(i)] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        BuildDecodeTable(Alphabet::LiteralLength, lengths.data(), kMaxLiteralSymbols, t->literal);
        std::array<uint8_t, kMaxDistanceSymbols> distances{};
        distances.fill(5);
        BuildDecodeTable(Alphabet::Distance, distances.data(), kMaxDistanceSymbols, t->distance);
        return t;
    }();
    return *tables;
}

} // namespace moirelle::inflate
