// The decode tables, entry by entry, against codes assigned and matched bit by bit.
#include "formats/InflateTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace moirelle::inflate {
namespace {

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                             15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};

int LengthExtra(int symbol) {
    return symbol < 265 || symbol == 285 ? 0 : (symbol - 261) / 4;
}
int DistanceExtra(int symbol) {
    return symbol < 4 ? 0 : symbol / 2 - 1;
}

// Canonical codes assigned as the format describes them, matched one bit at a time (the
// first bit read is the code's most significant).
class Codes {
  public:
    explicit Codes(const std::vector<uint8_t>& lengths) {
        std::array<int, 16> count{};
        for (uint8_t l : lengths)
            if (l != 0) ++count[l];
        std::array<uint32_t, 16> next{};
        uint32_t code = 0;
        for (int bits = 1; bits <= 15; ++bits) {
            code = (code + static_cast<uint32_t>(count[bits - 1])) << 1;
            next[bits] = code;
        }
        for (int l = 1; l <= 15; ++l)
            symbolOf_[l].assign(size_t{1} << l, -1);
        for (size_t s = 0; s < lengths.size(); ++s)
            if (lengths[s] != 0) symbolOf_[lengths[s]][next[lengths[s]]++] = static_cast<int>(s);
    }

    // The symbol whose code starts `bits` (least significant first) within `available`
    // bits, and its code length; -1 when none does.
    int First(uint64_t bits, int available, int& length) const {
        uint32_t code = 0;
        for (int l = 1; l <= available && l <= 15; ++l) {
            code = (code << 1) | static_cast<uint32_t>((bits >> (l - 1)) & 1);
            const int symbol = symbolOf_[l][code];
            if (symbol >= 0) {
                length = l;
                return symbol;
            }
        }
        return -1;
    }

  private:
    std::array<std::vector<int>, 16> symbolOf_;
};

// Checks a literal/length entry whose first symbol is `first` (code `length` bits): with
// `combine`, the run of further symbols whose codes follow in `bits` within `room` bits
// must be in it too.
void CheckLiteralEntry(uint64_t entry, const Codes& codes, int first, int length, uint64_t bits,
                       int room, bool combine) {
    std::vector<int> literals;
    int lengthSymbol = -1;
    int used = length;
    if (first < 256) {
        literals.push_back(first);
        while (combine && literals.size() < 3) {
            int l = 0;
            const int s = codes.First(bits >> used, room - used, l);
            if (s < 0 || s == 256 || s > 285) break;
            used += l;
            if (s < 256) {
                literals.push_back(s);
            } else {
                lengthSymbol = s;
                break;
            }
        }
    } else if (first != 256 && first < 286) {
        lengthSymbol = first;
    }
    ASSERT_EQ(LitFirstLength(entry), static_cast<uint32_t>(length));
    ASSERT_EQ(LitCount(entry), literals.size());
    for (size_t k = 0; k < literals.size(); ++k)
        ASSERT_EQ((entry >> (32 + 8 * k)) & 0xFF, static_cast<uint64_t>(literals[k]));
    ASSERT_EQ((entry & kLitEndOfBlock) != 0, first == 256);
    ASSERT_EQ((entry & kLitInvalid) != 0, first > 285);
    ASSERT_EQ((entry & kLitLength) != 0, lengthSymbol >= 0);
    ASSERT_EQ(entry & kLitSubtable, 0u);
    if (lengthSymbol >= 0) {
        ASSERT_EQ(LitLengthBase(entry),
                  static_cast<uint32_t>(kLengthBase[static_cast<size_t>(lengthSymbol - 257)]));
        ASSERT_EQ(LitBeforeExtra(entry), static_cast<uint32_t>(used));
        ASSERT_EQ(LitDropBits(entry), static_cast<uint32_t>(used + LengthExtra(lengthSymbol)));
    } else if (first <= 285) {
        ASSERT_EQ(LitDropBits(entry), static_cast<uint32_t>(used));
    }
}

// Every entry of a literal/length table built from `lengths`, main table and subtables.
void CheckLiteralTable(const std::vector<uint8_t>& lengths, const uint64_t* table) {
    const Codes codes(lengths);
    constexpr int w = kLiteralTableBits;
    for (uint32_t i = 0; i < (1u << w); ++i) {
        SCOPED_TRACE(testing::Message() << "index " << i);
        int length = 0;
        const int first = codes.First(i, w, length);
        const uint64_t entry = table[i];
        if (first >= 0) {
            CheckLiteralEntry(entry, codes, first, length, i, w, true);
            continue;
        }
        // No code within the index: a longer one continues in a subtable, or none does.
        bool longer = false;
        for (uint32_t j = 0; j < (1u << (15 - w)) && !longer; ++j)
            longer = codes.First(i | (j << w), 15, length) >= 0;
        if (!longer) {
            ASSERT_EQ(entry & (kLitInvalid | kLitSubtable | kLitLength), kLitInvalid);
            continue;
        }
        ASSERT_NE(entry & kLitSubtable, 0u);
        ASSERT_EQ(LitDropBits(entry), static_cast<uint32_t>(w));
        const uint32_t subBits = LitBeforeExtra(entry);
        for (uint32_t j = 0; j < (1u << subBits); ++j) {
            SCOPED_TRACE(testing::Message() << "subtable index " << j);
            const uint64_t sub = table[LitSubtableStart(entry) + j];
            const int symbol = codes.First(i | (j << w), w + static_cast<int>(subBits), length);
            if (symbol < 0) {
                ASSERT_NE(sub & kLitInvalid, 0u);
                continue;
            }
            ASSERT_GT(length, w);
            CheckLiteralEntry(sub, codes, symbol, length - w, 0, length - w, false);
        }
    }
}

void CheckDistanceTable(const std::vector<uint8_t>& lengths, const uint32_t* table) {
    const Codes codes(lengths);
    constexpr int w = kDistanceTableBits;
    auto check = [](uint32_t entry, int symbol, int length) {
        ASSERT_EQ(EntryCodeLength(entry), static_cast<uint32_t>(length));
        if (symbol >= 30) {
            ASSERT_NE(entry & kEntryInvalid, 0u);
            return;
        }
        ASSERT_EQ(entry & (kEntryExceptional | kEntrySubtable), 0u);
        ASSERT_EQ(EntryValue(entry),
                  static_cast<uint32_t>(kDistanceBase[static_cast<size_t>(symbol)]));
        ASSERT_EQ(EntryDropBits(entry), static_cast<uint32_t>(length + DistanceExtra(symbol)));
    };
    for (uint32_t i = 0; i < (1u << w); ++i) {
        SCOPED_TRACE(testing::Message() << "index " << i);
        int length = 0;
        const int symbol = codes.First(i, w, length);
        const uint32_t entry = table[i];
        if (symbol >= 0) {
            check(entry, symbol, length);
            continue;
        }
        if ((entry & kEntrySubtable) == 0) {
            ASSERT_NE(entry & kEntryInvalid, 0u);
            for (uint32_t j = 0; j < (1u << (15 - w)); ++j)
                ASSERT_LT(codes.First(i | (j << w), 15, length), 0);
            continue;
        }
        ASSERT_EQ(EntryDropBits(entry), static_cast<uint32_t>(w));
        for (uint32_t j = 0; j < (1u << EntryCodeLength(entry)); ++j) {
            const uint32_t sub = table[EntryValue(entry) + j];
            const int s =
                codes.First(i | (j << w), w + static_cast<int>(EntryCodeLength(entry)), length);
            if (s < 0)
                ASSERT_NE(sub & kEntryInvalid, 0u);
            else
                check(sub, s, length - w);
        }
    }
}

// Code lengths of a complete code for `count` symbols of which `used` get codes: leaves
// split at random, the shallow ones more often when `skewed` (short codes for a few
// symbols, as in photos), never deeper than 15; then maybe one code dropped (incomplete).
std::vector<uint8_t> RandomLengths(std::mt19937& rng, int count, int used, bool skewed) {
    std::vector<int> leaves = {1, 1};
    for (int tries = 0; static_cast<int>(leaves.size()) < used && tries < 100000; ++tries) {
        size_t i = std::uniform_int_distribution<size_t>(0, leaves.size() - 1)(rng);
        if (skewed && tries % 8 != 0)
            i = leaves.size() - 1 - i % std::min<size_t>(leaves.size(), 3);
        if (leaves[i] >= 15) continue;
        ++leaves[i];
        leaves.push_back(leaves[i]);
    }
    if (rng() % 3 == 0) leaves.pop_back();
    std::vector<int> symbols(static_cast<size_t>(count));
    for (int s = 0; s < count; ++s)
        symbols[static_cast<size_t>(s)] = s;
    std::shuffle(symbols.begin(), symbols.end(), rng);
    std::vector<uint8_t> lengths(static_cast<size_t>(count), 0);
    for (size_t k = 0; k < leaves.size(); ++k)
        lengths[static_cast<size_t>(symbols[k])] = static_cast<uint8_t>(leaves[k]);
    return lengths;
}

TEST(InflateTables, LiteralEntriesGiveEverySymbolWhoseCodesFitTheIndex) {
    std::mt19937 rng(22);
    std::vector<uint64_t> table(kLiteralTableSize);
    // Hand-made shapes first: three 3-bit literals and a 2-bit length (three literals fill
    // 9 bits, two and the length 8); a literal and a 7-bit length with extra bits; one code
    // of 1 bit; then random codes, plain and skewed (up to 15 bits: subtables).
    std::vector<std::vector<uint8_t>> sets;
    std::vector<uint8_t> photo(286, 0);
    photo[257] = 2;
    photo[10] = photo[20] = photo[30] = 3;
    photo[256] = photo[40] = 4;
    for (int s = 41; s < 41 + 8; ++s)
        photo[static_cast<size_t>(s)] = 7;
    photo[280] = 7; // length 115 and 4 extra bits
    sets.push_back(photo);
    std::vector<uint8_t> single(288, 0);
    single[65] = 1;
    sets.push_back(single);
    for (int k = 0; k < 24; ++k)
        sets.push_back(RandomLengths(rng, 288, 2 + static_cast<int>(rng() % 287), k % 2 == 1));
    int triples = 0, literalsAndLength = 0;
    for (size_t k = 0; k < sets.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "set " << k);
        ASSERT_TRUE(
            BuildLiteralTable(sets[k].data(), static_cast<int>(sets[k].size()), table.data()));
        CheckLiteralTable(sets[k], table.data());
        if (HasFatalFailure()) return;
        for (uint32_t i = 0; i < (1u << kLiteralTableBits); ++i) {
            triples += LitCount(table[i]) == 3;
            literalsAndLength += LitCount(table[i]) != 0 && (table[i] & kLitLength) != 0;
        }
    }
    EXPECT_GT(triples, 0);
    EXPECT_GT(literalsAndLength, 0);
}

TEST(InflateTables, FixedTablesMatchTheFixedCodes) {
    std::vector<uint8_t> literal(288), distance(32, 5);
    for (size_t s = 0; s < 288; ++s)
        literal[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    const FixedTables& fixed = GetFixedTables();
    CheckLiteralTable(literal, fixed.literal);
    CheckDistanceTable(distance, fixed.distance);
}

TEST(InflateTables, DistanceEntriesGiveBaseAndExtraBits) {
    std::mt19937 rng(7);
    std::vector<uint32_t> table(kDistanceTableSize);
    for (int k = 0; k < 24; ++k) {
        SCOPED_TRACE(testing::Message() << "set " << k);
        const std::vector<uint8_t> lengths =
            RandomLengths(rng, 32, 1 + static_cast<int>(rng() % 32), k % 2 == 1);
        ASSERT_TRUE(BuildDecodeTable(Alphabet::Distance, lengths.data(), 32, table.data()));
        CheckDistanceTable(lengths, table.data());
        if (HasFatalFailure()) return;
    }
}

TEST(InflateTables, CodeLengthEntriesGiveTheSymbol) {
    // Lengths 2, 3, 3, 4, 4, 4, 5 ... as a code-length code might have them.
    const std::vector<uint8_t> lengths = {2, 3, 3, 4, 4, 4, 5, 5, 6, 6, 7, 7, 0, 0, 7, 7, 0, 0, 0};
    std::vector<uint32_t> table(kCodeLengthTableSize);
    ASSERT_TRUE(BuildDecodeTable(Alphabet::CodeLength, lengths.data(), 19, table.data()));
    const Codes codes(lengths);
    for (uint32_t i = 0; i < kCodeLengthTableSize; ++i) {
        int length = 0;
        const int symbol = codes.First(i, kCodeLengthTableBits, length);
        if (symbol < 0) {
            EXPECT_NE(table[i] & kEntryInvalid, 0u) << i;
            continue;
        }
        EXPECT_EQ(table[i] & (kEntryLiteral | kEntryExceptional | kEntrySubtable), kEntryLiteral);
        EXPECT_EQ(EntryValue(table[i]), static_cast<uint32_t>(symbol)) << i;
        EXPECT_EQ(EntryCodeLength(table[i]), static_cast<uint32_t>(length)) << i;
        EXPECT_EQ(EntryDropBits(table[i]), static_cast<uint32_t>(length)) << i;
    }
}

TEST(InflateTables, OverSubscribedOrOverlongCodesAreRefused) {
    std::vector<uint64_t> literal(kLiteralTableSize);
    std::vector<uint32_t> distance(kDistanceTableSize);
    std::vector<uint8_t> three(288, 0);
    three[0] = three[1] = three[2] = 1; // three codes of one bit
    EXPECT_FALSE(BuildLiteralTable(three.data(), 288, literal.data()));
    EXPECT_FALSE(BuildDecodeTable(Alphabet::Distance, three.data(), 32, distance.data()));
    std::vector<uint8_t> overlong(288, 0);
    overlong[0] = 1;
    overlong[1] = 16;
    EXPECT_FALSE(BuildLiteralTable(overlong.data(), 288, literal.data()));
    // Lengths are looked at in pairs; an odd count leaves the last one on its own.
    std::vector<uint8_t> lastOverlong(31, 0);
    lastOverlong[0] = 1;
    lastOverlong[30] = 16;
    EXPECT_FALSE(BuildDecodeTable(Alphabet::Distance, lastOverlong.data(), 31, distance.data()));
    std::vector<uint8_t> full(288, 0);
    full[0] = 1;
    full[1] = 2;
    full[2] = 15; // incomplete is accepted
    EXPECT_TRUE(BuildLiteralTable(full.data(), 288, literal.data()));
}

} // namespace
} // namespace moirelle::inflate
