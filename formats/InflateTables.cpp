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

// The used symbols of a set of code lengths in canonical order (by code length, then by
// symbol) with their codes bit-reversed, so that they index a table directly.
struct CanonicalCodes {
    std::array<uint16_t, kMaxLiteralSymbols> sorted;
    std::array<uint16_t, kMaxLiteralSymbols> reversed;
    int used = 0;
};

// False for an over-subscribed set or a length above 15.
bool MakeCanonical(const uint8_t* lengths, int count, CanonicalCodes& codes) {
    // Counted in two halves: runs of equal lengths would otherwise wait on each other's
    // increments.
    std::array<int, 16> perLength{};
    std::array<int, 16> perLengthOdd{};
    int i = 0;
    for (; i + 1 < count; i += 2) {
        if ((lengths[i] | lengths[i + 1]) > 15) return false;
        ++perLength[lengths[i]];
        ++perLengthOdd[lengths[i + 1]];
    }
    if (i < count) {
        if (lengths[i] > 15) return false;
        ++perLength[lengths[i]];
    }
    for (size_t l = 0; l < 16; ++l)
        perLength[l] += perLengthOdd[l];
    int left = 1;
    for (int length = 1; length <= 15; ++length) {
        left = 2 * left - perLength[length];
        if (left < 0) return false;
    }
    std::array<int, 16> offsets{};
    for (int length = 1; length < 15; ++length)
        offsets[length + 1] = offsets[length] + perLength[length];
    for (int s = 0; s < count; ++s)
        if (lengths[s] != 0)
            codes.sorted[static_cast<size_t>(offsets[lengths[s]]++)] = static_cast<uint16_t>(s);
    codes.used = count - perLength[0];
    uint32_t code = 0;
    for (int k = 0; k < codes.used; ++k) {
        const int length = lengths[codes.sorted[static_cast<size_t>(k)]];
        const int previous = k > 0 ? lengths[codes.sorted[static_cast<size_t>(k - 1)]] : length;
        if (k > 0) code = (code + 1) << (length - previous);
        codes.reversed[static_cast<size_t>(k)] = static_cast<uint16_t>(Reverse(code, length));
    }
    return true;
}

// Writes `entry` at every index of a table of 2^width entries whose low `length` bits
// equal `index`.
template <typename Entry>
void Replicate(Entry* table, uint32_t index, uint32_t length, int width, Entry entry) {
    const uint32_t end = uint32_t{1} << width;
    for (uint32_t i = index; i < end; i += uint32_t{1} << length)
        table[i] = entry;
}

// Fills a table of main width `width`: `Kind` gives the entry of a symbol whose code
// has `length` bits in its table, the entry for an unused code, and a pointer entry.
template <typename Kind>
void FillTable(const uint8_t* lengths, const CanonicalCodes& codes, int width,
               typename Kind::Entry* table) {
    using Entry = typename Kind::Entry;
    const uint32_t mainSize = uint32_t{1} << width;
    // Codes up to the main width, shortest first: the filled part of the table doubles
    // (its entries repeating) each time the code length grows, so that every code ends
    // up at each index whose low bits are the code.
    table[0] = Kind::Invalid();
    uint32_t filled = 1;
    int k = 0;
    for (; k < codes.used; ++k) {
        const int symbol = codes.sorted[static_cast<size_t>(k)];
        const int length = lengths[symbol];
        if (length > width) break;
        for (; filled < (uint32_t{1} << length); filled *= 2)
            std::memcpy(table + filled, table, filled * sizeof(Entry));
        table[codes.reversed[static_cast<size_t>(k)]] =
            Kind::Symbol(symbol, static_cast<uint32_t>(length));
    }
    for (; filled < mainSize; filled *= 2)
        std::memcpy(table + filled, table, filled * sizeof(Entry));
    if (k == codes.used) return;

    // Codes longer than the main width: each first-bits prefix gets a subtable as wide as
    // its longest code needs.
    std::array<uint8_t, size_t{1} << kLiteralTableBits> longest{};
    for (int j = k; j < codes.used; ++j) {
        const int length = lengths[codes.sorted[static_cast<size_t>(j)]];
        uint8_t& l = longest[codes.reversed[static_cast<size_t>(j)] & (mainSize - 1)];
        l = std::max(l, static_cast<uint8_t>(length));
    }
    uint32_t tableEnd = mainSize;
    for (; k < codes.used; ++k) {
        const int symbol = codes.sorted[static_cast<size_t>(k)];
        const int length = lengths[symbol];
        const uint32_t rev = codes.reversed[static_cast<size_t>(k)];
        const uint32_t prefix = rev & (mainSize - 1);
        const int subBits = longest[prefix] - width;
        if (!Kind::IsPointer(table[prefix])) {
            table[prefix] = Kind::Pointer(tableEnd, static_cast<uint32_t>(subBits),
                                          static_cast<uint32_t>(width));
            std::fill(table + tableEnd, table + tableEnd + (uint32_t{1} << subBits),
                      Kind::Invalid());
            tableEnd += uint32_t{1} << subBits;
        }
        const auto l = static_cast<uint32_t>(length - width);
        Replicate(table + Kind::Start(table[prefix]), rev >> width, l, subBits,
                  Kind::Symbol(symbol, l));
    }
}

struct DistanceKind {
    using Entry = uint32_t;
    static uint32_t Symbol(int symbol, uint32_t length) {
        const auto s = static_cast<uint32_t>(symbol);
        if (symbol >= 30) return kEntryInvalid | (length << 8) | length;
        return (uint32_t{kDistanceBase[s]} << 16) | (length << 8) | (length + kDistanceExtra[s]);
    }
    static uint32_t Invalid() { return kEntryInvalid; }
    static uint32_t Pointer(uint32_t start, uint32_t subBits, uint32_t width) {
        return (start << 16) | kEntrySubtable | (subBits << 8) | width;
    }
    static bool IsPointer(uint32_t entry) { return (entry & kEntrySubtable) != 0; }
    static uint32_t Start(uint32_t entry) { return EntryValue(entry); }
};

struct CodeLengthKind : DistanceKind {
    static uint32_t Symbol(int symbol, uint32_t length) {
        return (static_cast<uint32_t>(symbol) << 16) | kEntryLiteral | (length << 8) | length;
    }
};

struct LiteralKind {
    using Entry = uint64_t;
    static uint64_t Symbol(int symbol, uint32_t length) {
        const uint64_t l = length;
        const auto s = static_cast<uint64_t>(symbol);
        if (symbol < 256) return (s << 32) | (l << 24) | (uint64_t{1} << 16) | (l << 8) | l;
        if (symbol == 256) return kLitEndOfBlock | (l << 24) | (l << 8) | l;
        if (symbol >= 286) return kLitInvalid | (l << 24) | (l << 8) | l;
        const size_t i = static_cast<size_t>(symbol - 257);
        return (uint64_t{kLengthBase[i]} << 48) | kLitLength | (l << 24) | (l << 8) |
               (l + kLengthExtra[i]);
    }
    static uint64_t Invalid() { return kLitInvalid; }
    static uint64_t Pointer(uint32_t start, uint32_t subBits, uint32_t width) {
        return (uint64_t{start} << 32) | kLitSubtable | (uint64_t{subBits} << 8) | width;
    }
    static bool IsPointer(uint64_t entry) { return (entry & kLitSubtable) != 0; }
    static uint32_t Start(uint64_t entry) { return LitSubtableStart(entry); }
};

// Where a literal's code leaves room in the index for whole further codes, the entry
// gives them too: a second literal, then a third literal; or after one or two literals,
// a length. Entries are laid down from the short codes themselves, shortest first,
// rather than by testing every index: each index that starts with such a run of codes
// is written once per run length. `codes` are the table's canonical codes.
void CombineCodes(uint64_t* table, int width, const uint8_t* lengths, const CanonicalCodes& codes) {
    struct Code {
        uint32_t index, length, symbol;
    };
    std::array<Code, kMaxLiteralSymbols> shortCodes;
    int n = 0;
    for (int k = 0; k < codes.used; ++k) {
        const int symbol = codes.sorted[static_cast<size_t>(k)];
        const int length = lengths[symbol];
        if (length >= width) break;
        if (symbol != 256 && symbol < 286)
            shortCodes[static_cast<size_t>(n++)] = {codes.reversed[static_cast<size_t>(k)],
                                                    static_cast<uint32_t>(length),
                                                    static_cast<uint32_t>(symbol)};
    }
    if (n == 0) return;
    const auto w = static_cast<uint32_t>(width);
    const uint32_t shortest = shortCodes[0].length;
    for (int a = 0; a < n && shortCodes[static_cast<size_t>(a)].length + shortest <= w; ++a) {
        const Code first = shortCodes[static_cast<size_t>(a)];
        if (first.symbol > 255) continue;
        const uint64_t one = (uint64_t{first.symbol} << 32) | (uint64_t{first.length} << 24);
        for (int b = 0; b < n && first.length + shortCodes[static_cast<size_t>(b)].length <= w;
             ++b) {
            const Code second = shortCodes[static_cast<size_t>(b)];
            const uint32_t both = first.length + second.length;
            const uint32_t index = first.index | (second.index << first.length);
            // The entry of the second symbol alone, its code moved past the first.
            const uint64_t alone = LiteralKind::Symbol(static_cast<int>(second.symbol), 0);
            uint64_t entry;
            if (second.symbol < 256) {
                entry = one | (uint64_t{second.symbol} << 40) | (uint64_t{2} << 16) | both;
            } else {
                entry = one | (alone & (uint64_t{0xFFFF} << 48)) | kLitLength |
                        (uint64_t{1} << 16) | (uint64_t{both} << 8) | (both + LitDropBits(alone));
            }
            const uint32_t rest = w - both;
            if (second.symbol > 255 || rest < shortest) {
                Replicate(table, index, both, width, entry);
                continue;
            }
            // A third symbol: each index of the pair is written once, with the symbol
            // whose code starts the bits after the pair where a whole one fits. The
            // entry at those bits as an index tells it: its first symbol is that code's
            // whatever has been laid down there.
            const uint64_t two = one | (uint64_t{second.symbol} << 40);
            for (uint32_t u = 0; u < (uint32_t{1} << rest); ++u) {
                const uint64_t next = table[u];
                const uint32_t length = LitFirstLength(next);
                uint64_t written = entry;
                if (length <= rest) {
                    const uint32_t all = both + length;
                    if (LitCount(next) != 0)
                        written = two | ((next & (uint64_t{0xFF} << 32)) << 16) |
                                  (uint64_t{3} << 16) | all;
                    else if (next & kLitLength)
                        written = two | (next & (uint64_t{0xFFFF} << 48)) | kLitLength |
                                  (uint64_t{2} << 16) | (uint64_t{all} << 8) |
                                  (all + LitDropBits(next) - LitBeforeExtra(next));
                }
                table[index | (u << both)] = written;
            }
        }
    }
}

} // namespace

bool BuildDecodeTable(Alphabet alphabet, const uint8_t* lengths, int count, uint32_t* table) {
    CanonicalCodes codes;
    if (!MakeCanonical(lengths, count, codes)) return false;
    if (alphabet == Alphabet::Distance)
        FillTable<DistanceKind>(lengths, codes, kDistanceTableBits, table);
    else
        FillTable<CodeLengthKind>(lengths, codes, kCodeLengthTableBits, table);
    return true;
}

bool BuildLiteralTable(const uint8_t* lengths, int count, uint64_t* table) {
    CanonicalCodes codes;
    if (!MakeCanonical(lengths, count, codes)) return false;
    FillTable<LiteralKind>(lengths, codes, kLiteralTableBits, table);
    CombineCodes(table, kLiteralTableBits, lengths, codes);
    return true;
}

const FixedTables& GetFixedTables() {
    static const std::unique_ptr<FixedTables> tables = [] {
        auto t = std::make_unique<FixedTables>();
        std::array<uint8_t, kMaxLiteralSymbols> lengths{};
        for (int i = 0; i < kMaxLiteralSymbols; ++i)
            lengths[static_cast<size_t>(i)] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        BuildLiteralTable(lengths.data(), kMaxLiteralSymbols, t->literal);
        std::array<uint8_t, kMaxDistanceSymbols> distances{};
        distances.fill(5);
        BuildDecodeTable(Alphabet::Distance, distances.data(), kMaxDistanceSymbols, t->distance);
        return t;
    }();
    return *tables;
}

} // namespace moirelle::inflate
