#pragma once
// Decode tables of the built-in inflater. A table is indexed by the next bits of the
// stream (least significant bit first); codes longer than the table's index width
// continue in a subtable that the main entry points to.
//
// Distance and code-length entries are 32 bits:
//   bits 0-5    bits to drop: code length plus extra bits (pointer: the main width);
//               bits 6-7 stay zero, so the entry itself serves as a shift count
//   bits 8-11   code length within this table (pointer: the subtable's index width)
//   bits 12-15  kind flags below
//   bits 16-31  value: distance base or code-length symbol, or the subtable's first index
//
// Literal/length entries are 64 bits and may give several symbols at once: up to three
// literals, or one or two literals and then a length, where all their codes fit the
// index width together:
//   bits 0-7    bits to drop: every code of the entry plus a length's extra bits
//               (pointer: the main width); serves as a shift count
//   bits 8-15   the bits before a length's extra bits (pointer: the subtable's width)
//   bits 16-17  how many literals the entry gives
//   bits 18-21  kind flags below
//   bits 24-31  code length of the first symbol: what decoding one symbol drops
//   bits 32-63  the literals from bit 32 up; a length's base in bits 48-63 (after at
//               most two literals); pointer: the subtable's first index

#include <cstddef>
#include <cstdint>

namespace moirelle::inflate {

inline constexpr uint32_t kEntryLiteral = 1u << 12;
inline constexpr uint32_t kEntrySubtable = 1u << 13;
inline constexpr uint32_t kEntryEndOfBlock = 1u << 14;
inline constexpr uint32_t kEntryInvalid = 1u << 15;
inline constexpr uint32_t kEntryExceptional = kEntryEndOfBlock | kEntryInvalid;

inline constexpr uint64_t kLitLength = uint64_t{1} << 18;
inline constexpr uint64_t kLitSubtable = uint64_t{1} << 19;
inline constexpr uint64_t kLitEndOfBlock = uint64_t{1} << 20;
inline constexpr uint64_t kLitInvalid = uint64_t{1} << 21;
// Anything but literals alone.
inline constexpr uint64_t kLitNotLiterals =
    kLitLength | kLitSubtable | kLitEndOfBlock | kLitInvalid;

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

inline uint32_t LitDropBits(uint64_t entry) {
    return static_cast<uint32_t>(entry) & 0x3F;
}
inline uint32_t LitBeforeExtra(uint64_t entry) {
    return static_cast<uint32_t>(entry >> 8) & 0xFF;
}
inline uint32_t LitCount(uint64_t entry) {
    return static_cast<uint32_t>(entry >> 16) & 3;
}
inline uint32_t LitFirstLength(uint64_t entry) {
    return static_cast<uint32_t>(entry >> 24) & 0xFF;
}
inline uint32_t LitLengthBase(uint64_t entry) {
    return static_cast<uint32_t>(entry >> 48);
}
inline uint32_t LitSubtableStart(uint64_t entry) {
    return static_cast<uint32_t>(entry >> 32);
}

enum class Alphabet { Distance, CodeLength };

// Builds the table for `count` code lengths (0 = unused) of `alphabet`. False for an
// over-subscribed set (or a length above 15); incomplete sets are accepted, their unused
// codes decode to invalid entries. `table` holds the alphabet's table size.
bool BuildDecodeTable(Alphabet alphabet, const uint8_t* lengths, int count, uint32_t* table);
// The same for the literal/length alphabet, with its entries of several symbols.
bool BuildLiteralTable(const uint8_t* lengths, int count, uint64_t* table);

// The fixed-code tables, built once per process.
struct FixedTables {
    uint64_t literal[kLiteralTableSize];
    uint32_t distance[kDistanceTableSize];
};
const FixedTables& GetFixedTables();

} // namespace moirelle::inflate
