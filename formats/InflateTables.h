#pragma once
// Decode tables of the built-in inflater. A table is indexed by the next bits of the
// stream (least significant bit first); codes longer than the table's index width
// continue in a subtable that the main entry points to.
//
// An entry is 32 bits:
//   bits 0-5    bits to drop: code length plus extra bits (pointer: the main width);
//               bits 6-7 stay zero, so the entry itself serves as a shift count
//   bits 8-11   code length within this table (pointer: the subtable's index width)
//   bits 12-15  kind flags below
//   bits 16-31  value: literal byte, length or distance base, code-length symbol,
//               or the subtable's first index
// A literal entry of a literal/length main table may hold two literals whose codes
// together fit the index width: kEntrySecondLiteral is set, the second byte is in bits
// 24-31, the bits to drop cover both codes and the code length is the first code's.
// Decoding one symbol at a time just takes the first literal and its code length.

#include <cstddef>
#include <cstdint>

namespace moirelle::inflate {

inline constexpr uint32_t kEntryLiteral = 1u << 12;
inline constexpr uint32_t kEntrySubtable = 1u << 13;
inline constexpr uint32_t kEntryEndOfBlock = 1u << 14;
inline constexpr uint32_t kEntryInvalid = 1u << 15;
inline constexpr uint32_t kEntryExceptional = kEntryEndOfBlock | kEntryInvalid;
inline constexpr uint32_t kEntrySecondLiteral = kEntryInvalid; // only with kEntryLiteral

inline constexpr int kLiteralTableBits = 11;
inline constexpr int kDistanceTableBits = 8;
inline constexpr int kCodeLengthTableBits = 7;

inline constexpr int kMaxLiteralSymbols = 288;
inline constexpr int kMaxDistanceSymbols = 32;
inline constexpr int kCodeLengthSymbols = 19;

// Room for the main table and the largest possible subtables: every code longer than
// the main width may start its own subtable of up to 2^(15 - width) entries.
inline constexpr size_t kLiteralTableSize =
    (size_t{1} << kLiteralTableBits) + kMaxLiteralSymbols * (size_t{1} << (15 - kLiteralTableBits));
inline constexpr size_t kDistanceTableSize =
    (size_t{1} << kDistanceTableBits) +
    kMaxDistanceSymbols * (size_t{1} << (15 - kDistanceTableBits));
inline constexpr size_t kCodeLengthTableSize = size_t{1} << kCodeLengthTableBits;

inline uint32_t EntryDropBits(uint32_t entry) {
    return entry & 0x3F;
}
inline uint32_t EntryCodeLength(uint32_t entry) {
    return (entry >> 8) & 0xF;
}
inline uint32_t EntryValue(uint32_t entry) {
    return entry >> 16;
}

enum class Alphabet { LiteralLength, Distance, CodeLength };

// Builds the table for `count` code lengths (0 = unused) of `alphabet`. False for an
// over-subscribed set (or a length above 15); incomplete sets are accepted, their unused
// codes decode to kEntryInvalid entries. `table` holds the alphabet's table size.
bool BuildDecodeTable(Alphabet alphabet, const uint8_t* lengths, int count, uint32_t* table);

// The fixed-code tables, built once per process.
struct FixedTables {
    uint32_t literal[kLiteralTableSize];
    uint32_t distance[kDistanceTableSize];
};
const FixedTables& GetFixedTables();

} // namespace moirelle::inflate
