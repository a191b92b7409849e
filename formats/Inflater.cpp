#include "formats/Inflater.h"

#include "formats/Adler32.h"
#include "formats/InflateCpu.h"
#include "formats/InflateTables.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// How it goes fast: a 64-bit bit buffer refilled with one unaligned word load; decode
// tables whose literal/length entries give up to three literals, or one or two literals
// and a length with its base and extra-bit count, in one lookup; every entry's literals
// stored and its bits dropped without a branch, two entries per refill, each next entry
// looked up from the bits still held before the refill; a match's distance looked up
// before the refill that makes room for it; the next entry looked up before a match is
// copied; match copies in pieces of 8 to 16 bytes that may run past the match's end.
// With a checksum asked for, the bytes are summed every 8 KiB, while still in the
// nearest cache. This runs while at least kInputMargin bytes of input and kOutputMargin
// bytes of output remain; near either end the same tables are used with byte-wise
// refills and exact bounds checks, one symbol at a time, which is where the rules about
// the ends are decided. Scribbles past the decoded end are wiped before returning.
//
// The same decoder also runs a window at a time (InflateStream): its input is a run of
// pieces lying apart in memory, read in place, with the few bytes around a boundary
// copied together so the fast loop always sees contiguous input; its output is a buffer
// of the last 32 KiB plus a chunk, and it stops (between symbols, or inside a stored
// block or a long match) when the chunk is full, to go on once the caller has taken it.

namespace moirelle {
namespace {

using inflate::EntryCodeLength;
using inflate::EntryDropBits;
using inflate::EntryValue;
using inflate::kEntryEndOfBlock;
using inflate::kEntryExceptional;
using inflate::kEntryLiteral;
using inflate::kEntrySubtable;

// The fast loop refills at most twice a round (at most 7 bytes each, loading 8).
constexpr size_t kInputMargin = 32;
// Bytes past the current output position that the fast loop may have scribbled on: a
// match of 129 to 258 bytes is copied as 272.
constexpr size_t kOvershoot = 144;
// Up to six literals and a match of 258 bytes per round, plus the copies' overshoot.
constexpr size_t kOutputMargin = 6 + 258 + kOvershoot + 16;

// The farthest back a match reaches: what a windowed output keeps of what it produced.
constexpr size_t kHistory = 32 * 1024;
// A piece with fewer bytes than this left is read through a copy joined with what
// follows, of up to kStitchSize bytes.
constexpr size_t kStitchThreshold = 2 * kInputMargin;
constexpr size_t kStitchSize = 4 * kInputMargin;
// Zero bytes that stand for the input's zero tail, read in place.
constexpr uint8_t kZeroBytes[4096] = {};

class InputCursor;

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

inline uint64_t LowBits(uint64_t value, uint32_t n) {
    return value & ((uint64_t{1} << n) - 1);
}

// The bit reader. Bits are consumed least significant first. `held` counts the valid
// bits at the bottom of `buffer`; any bits above them are the true bits of the bytes at
// `next`, so adding those bytes again changes nothing. Once the input is used up the
// bits above `held` are zero, which is how missing bits of a Huffman code read as zero.
struct BitReader {
    const uint8_t* next = nullptr;
    const uint8_t* end = nullptr;
    uint64_t buffer = 0;
    uint32_t held = 0;
    InputCursor* input = nullptr; // where [next, end) lies in the whole input

    // Moves the window on when the input goes on past `end`.
    inline void MoveOn();

    // Fast refill: needs 8 readable bytes at `next`; leaves 56..63 bits held.
    void RefillFast() {
        buffer |= Load64(next) << held;
        next += (63 - held) >> 3;
        held |= 56;
    }

    // Careful refill: whole bytes while they fit and the input lasts.
    void Refill() {
        if (end - next < 8) MoveOn();
        if (end - next >= 8) {
            RefillFast();
            return;
        }
        while (held <= 56 && next < end) {
            buffer |= uint64_t{*next++} << held;
            held += 8;
        }
    }

    // Drops n bits; bits beyond the end of the input count as read (as zeros).
    void Drop(uint32_t n) {
        if (n > held) {
            buffer = 0;
            held = 0;
            return;
        }
        buffer >>= n;
        held -= n;
    }

    // Takes n (0..32) bits that must all come from the input.
    bool Get(uint32_t n, uint32_t& value) {
        if (held < n) Refill();
        if (held < n) return false;
        value = static_cast<uint32_t>(LowBits(buffer, n));
        buffer >>= n;
        held -= n;
        return true;
    }

    // Decodes one Huffman code: the entry of its symbol (possibly invalid) with the code
    // dropped, its extra bits still in the buffer.
    uint32_t Decode(const uint32_t* table, uint32_t tableBits) {
        if (held < 15) Refill();
        uint32_t entry = table[LowBits(buffer, tableBits)];
        if (entry & kEntrySubtable) {
            Drop(tableBits);
            entry = table[EntryValue(entry) + LowBits(buffer, EntryCodeLength(entry))];
        }
        Drop(EntryCodeLength(entry));
        return entry;
    }

    // Decodes one literal/length code: the entry of its symbol with that one code
    // dropped (an entry that gives more symbols gives the first one this way).
    uint64_t DecodeLiteral(const uint64_t* table) {
        if (held < 15) Refill();
        uint64_t entry = table[LowBits(buffer, inflate::kLiteralTableBits)];
        if (entry & inflate::kLitSubtable) {
            Drop(inflate::kLiteralTableBits);
            entry = table[inflate::LitSubtableStart(entry) +
                          LowBits(buffer, inflate::LitBeforeExtra(entry))];
        }
        Drop(inflate::LitFirstLength(entry));
        return entry;
    }

    // Extra bits of a distance entry that Decode returned.
    bool Extra(uint32_t entry, uint32_t& value) {
        return Get(EntryDropBits(entry) - EntryCodeLength(entry), value);
    }
};

// The input as one run of bytes: pieces that lie apart in memory, then zero bytes. The
// reader sees a window of it: a piece read in place, or a copy of the bytes around a
// boundary between pieces.
class InputCursor {
  public:
    InputCursor(std::span<const std::span<const uint8_t>> pieces, uint64_t zeroTail)
        : pieces_(pieces) {
        for (const std::span<const uint8_t>& piece : pieces)
            dataSize_ += piece.size();
        total_ = dataSize_ + zeroTail;
    }

    uint64_t Total() const { return total_; }
    // The position in the whole input of the reader's next byte.
    uint64_t Position(const BitReader& r) const {
        return windowBase_ + static_cast<uint64_t>(r.next - windowStart_);
    }
    bool WindowReachesEnd() const {
        return windowBase_ + static_cast<uint64_t>(windowEnd_ - windowStart_) == total_;
    }

    // Points the reader at the input from `position` on; the window holds at least
    // kStitchThreshold bytes unless it reaches the end of the input.
    void Seek(BitReader& r, uint64_t position) {
        windowBase_ = position;
        if (position >= dataSize_) {
            windowStart_ = kZeroBytes;
            windowEnd_ = kZeroBytes + std::min<uint64_t>(sizeof kZeroBytes, total_ - position);
        } else {
            FindPiece(position);
            const std::span<const uint8_t> piece = pieces_[piece_];
            const size_t offset = static_cast<size_t>(position - pieceStart_);
            windowStart_ = piece.data() + offset;
            windowEnd_ = piece.data() + piece.size();
            if (piece.size() - offset < kStitchThreshold && !WindowReachesEnd()) {
                const size_t count =
                    static_cast<size_t>(std::min<uint64_t>(kStitchSize, total_ - position));
                CopyOut(position, stitch_, count);
                windowStart_ = stitch_;
                windowEnd_ = stitch_ + count;
            }
        }
        r.next = windowStart_;
        r.end = windowEnd_;
    }

    // Copies `count` (at least 1) bytes of the data (the zero tail not counted) from
    // `position` on; false when they reach past the data.
    bool ReadData(uint64_t position, uint8_t* to, size_t count) {
        if (position >= dataSize_ || dataSize_ - position < count) return false;
        FindPiece(position);
        CopyOut(position, to, count);
        return true;
    }

    // Moves the reader's window on to what follows; false when it already reaches the end.
    bool Advance(BitReader& r) {
        if (WindowReachesEnd()) return false;
        Seek(r, Position(r));
        return true;
    }

  private:
    void FindPiece(uint64_t position) {
        while (position < pieceStart_) {
            --piece_;
            pieceStart_ -= pieces_[piece_].size();
        }
        while (position >= pieceStart_ + pieces_[piece_].size()) {
            pieceStart_ += pieces_[piece_].size();
            ++piece_;
        }
    }

    // Copies `count` bytes of the input from `position` on (the piece holding `position`
    // already found).
    void CopyOut(uint64_t position, uint8_t* to, size_t count) const {
        size_t index = piece_;
        size_t offset = static_cast<size_t>(position - pieceStart_);
        while (count != 0 && index < pieces_.size()) {
            const size_t n = std::min(count, pieces_[index].size() - offset);
            std::memcpy(to, pieces_[index].data() + offset, n);
            to += n;
            count -= n;
            ++index;
            offset = 0;
        }
        std::memset(to, 0, count); // the zero tail
    }

    std::span<const std::span<const uint8_t>> pieces_;
    uint64_t dataSize_ = 0;
    uint64_t total_ = 0;
    size_t piece_ = 0;        // the piece last sought in
    uint64_t pieceStart_ = 0; // and its position in the input
    const uint8_t* windowStart_ = nullptr;
    const uint8_t* windowEnd_ = nullptr;
    uint64_t windowBase_ = 0;
    uint8_t stitch_[kStitchSize];
};

inline void BitReader::MoveOn() {
    input->Advance(*this);
}

struct Output {
    uint8_t* start;
    uint8_t* next;
    uint8_t* end;
    size_t dirty = 0; // the fast loop may have written garbage below start + dirty
    // With a checksum asked for: its running value, carried up to `summed`. The fast loop
    // brings it up to date every kSumEvery bytes, while they are still in the nearest cache.
    uint32_t* adler = nullptr;
    uint8_t* summed = nullptr;
    // A windowed output: the stream may still produce beyondEnd bytes past `end`, and the
    // decoder stops when fewer than keepRoom bytes of room are left before a symbol.
    size_t beyondEnd = 0;
    size_t keepRoom = 0;
    // A match cut by the end of the window: what is left of it.
    size_t pendingLength = 0;
    size_t pendingDistance = 0;
};

enum class BlockEnd { Fault, EndOfBlock, Suspended };

constexpr size_t kSumEvery = 8 * 1024;

void CatchUpChecksum(Output& output, uint8_t* upTo) {
    *output.adler =
        Adler32(*output.adler, output.summed, static_cast<size_t>(upTo - output.summed));
    output.summed = upTo;
}

// Tables of one dynamic block.
struct DynamicTables {
    uint64_t literal[inflate::kLiteralTableSize];
    uint32_t distance[inflate::kDistanceTableSize];
};

#ifdef __SSE2__
inline void Copy16(uint8_t* dst, const uint8_t* src) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
}
#else
inline void Copy16(uint8_t* dst, const uint8_t* src) {
    uint8_t tmp[16];
    std::memcpy(tmp, src, 16);
    std::memcpy(dst, tmp, 16);
}
#endif

inline void Copy8(uint8_t* dst, const uint8_t* src) {
    uint64_t v;
    std::memcpy(&v, src, 8);
    std::memcpy(dst, &v, 8);
}

// Stores the 16-byte `pattern` from out on until end, 32 bytes a round.
#ifdef __SSE2__
using Pattern = __m128i;
inline void StorePattern(uint8_t* out, const uint8_t* end, Pattern pattern) {
    do {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), pattern);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), pattern);
        out += 32;
    } while (out < end);
}
inline Pattern Broadcast8(uint8_t v) {
    return _mm_set1_epi8(static_cast<char>(v));
}
#else
struct Pattern {
    uint8_t bytes[16];
};
inline void StorePattern(uint8_t* out, const uint8_t* end, const Pattern& pattern) {
    do {
        std::memcpy(out, pattern.bytes, 16);
        std::memcpy(out + 16, pattern.bytes, 16);
        out += 32;
    } while (out < end);
}
inline Pattern Broadcast8(uint8_t v) {
    Pattern p;
    std::memset(p.bytes, v, 16);
    return p;
}
#endif

// Copies a match of `length` (at most 258) bytes from `distance` back. May write up to
// kOvershoot bytes past the match's end; the caller keeps that room.
inline void CopyMatchFast(uint8_t* out, size_t distance, size_t length) {
    const uint8_t* src = out - distance;
    uint8_t* const end = out + length;
    if (distance >= 16) {
        // Each piece reads only bytes written before it. The first 32 bytes are copied
        // whatever the length: a test per length would be mispredicted more often than not.
        // Longer ones take a fixed 128 or 272 bytes: a loop's exit would be mispredicted
        // for most long matches, unless the processor had just decoded the same stream.
        Copy16(out, src);
        Copy16(out + 16, src + 16);
        if (length <= 32) return;
        for (size_t i = 32; i < 128; i += 16)
            Copy16(out + i, src + i);
        if (length <= 128) return;
        for (size_t i = 128; i < 272; i += 16)
            Copy16(out + i, src + i);
    } else if (distance == 1) {
        StorePattern(out, end, Broadcast8(*src));
    } else if (distance >= 8) {
        do {
            Copy8(out, src);
            out += 8;
            src += 8;
        } while (out < end);
    } else {
        // Short period: lay down whole periods byte by byte until one piece of 8 can be
        // copied from a multiple of the period back.
        const size_t step = distance * ((8 + distance - 1) / distance);
        for (size_t i = 0; i < step; ++i)
            out[i] = src[i];
        out += step;
        while (out < end) {
            Copy8(out, out - step);
            out += 8;
        }
    }
}

// Fast path: stores the literals of `entry` (always four bytes, of which any beyond its
// literals are rubbish that the next symbol overwrites).
inline void StoreLiterals(uint8_t* out, uint64_t entry) {
    auto bytes = static_cast<uint32_t>(entry >> 32);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    bytes = __builtin_bswap32(bytes);
#endif
    std::memcpy(out, &bytes, 4);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MOIRELLE_INFLATE_BMI2 1
#define MOIRELLE_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define MOIRELLE_INFLATE_BMI2 0
#define MOIRELLE_ALWAYS_INLINE inline
#endif

// Decodes symbols of one Huffman block until its end-of-block code, a fault, or (for a
// windowed output) a full window.
MOIRELLE_ALWAYS_INLINE BlockEnd DecodeBlockBody(BitReader& reader, Output& output,
                                                const uint64_t* literalTable,
                                                const uint32_t* distanceTable) {
    constexpr uint32_t litBits = inflate::kLiteralTableBits;
    constexpr uint32_t distBits = inflate::kDistanceTableBits;
    BitReader r = reader;
    uint8_t* out = output.next;
    uint8_t* const outStart = output.start;
    uint8_t* const outEnd = output.end;
    uint8_t* const outFastEnd =
        static_cast<size_t>(outEnd - out) > kOutputMargin ? outEnd - kOutputMargin : out;
    BlockEnd result = BlockEnd::Fault;

    if (output.pendingLength != 0) {
        // The rest of a match that the window cut.
        const size_t n = std::min(output.pendingLength, static_cast<size_t>(outEnd - out));
        const uint8_t* const src = out - output.pendingDistance;
        for (size_t i = 0; i < n; ++i)
            out[i] = src[i];
        out += n;
        output.pendingLength -= n;
        if (output.pendingLength != 0) {
            result = BlockEnd::Suspended;
            goto done;
        }
    }

    for (;;) {
        // The window of input may have moved in a careful step.
        const uint8_t* const inFastEnd =
            r.end - r.next > static_cast<ptrdiff_t>(kInputMargin) ? r.end - kInputMargin : r.next;
        // Fast rounds: every bound is guaranteed by the margins.
        if (r.next < inFastEnd && out < outFastEnd) {
            // Rounds up to the next checksum catch-up, if one is due.
            uint8_t* const stop = output.adler && static_cast<size_t>(outFastEnd - out) > kSumEvery
                                      ? out + kSumEvery
                                      : outFastEnd;
            // Each round starts with the next entry looked up and at least 56 bits held:
            // enough for two entries of literals and the next lookup, or one and then a
            // length and the first bits of its distance (11 + 16 + 8).
            r.RefillFast();
            uint64_t entry = literalTable[LowBits(r.buffer, litBits)];
            do {
                // Every entry drops its bits and stores its literals (a length alone
                // has none) before anything else; only entries that give more than
                // literals branch off.
                uint64_t saved = r.buffer;
                r.buffer >>= inflate::LitDropBits(entry);
                r.held -= inflate::LitDropBits(entry);
                StoreLiterals(out, entry);
                out += inflate::LitCount(entry);
                if ((entry & inflate::kLitNotLiterals) == 0) {
                    entry = literalTable[LowBits(r.buffer, litBits)];
                    saved = r.buffer;
                    r.buffer >>= inflate::LitDropBits(entry);
                    r.held -= inflate::LitDropBits(entry);
                    StoreLiterals(out, entry);
                    out += inflate::LitCount(entry);
                    if ((entry & inflate::kLitNotLiterals) == 0) {
                        // The next entry comes from the bits still held; the refill
                        // after it is off the lookups' chain.
                        entry = literalTable[LowBits(r.buffer, litBits)];
                        r.RefillFast();
                        continue;
                    }
                }
                if ((entry & inflate::kLitLength) == 0) {
                    if ((entry & inflate::kLitSubtable) == 0) {
                        if (entry & inflate::kLitEndOfBlock) result = BlockEnd::EndOfBlock;
                        goto done;
                    }
                    // The rest of a long code (rare), one symbol, decoded here: the round
                    // ends with it, so that the input's margin is checked before the next.
                    r.RefillFast();
                    entry = literalTable[inflate::LitSubtableStart(entry) +
                                         LowBits(r.buffer, inflate::LitBeforeExtra(entry))];
                    saved = r.buffer;
                    r.buffer >>= inflate::LitDropBits(entry);
                    r.held -= inflate::LitDropBits(entry);
                    if (inflate::LitCount(entry) != 0) {
                        *out++ = static_cast<uint8_t>(entry >> 32);
                        entry = literalTable[LowBits(r.buffer, litBits)];
                        r.RefillFast();
                        continue;
                    }
                    if ((entry & inflate::kLitLength) == 0) {
                        if (entry & inflate::kLitEndOfBlock) result = BlockEnd::EndOfBlock;
                        goto done;
                    }
                }
                // A length (after the entry's literals), then its distance. The distance's
                // first bits are still held (at least 29); the refill after looking them up
                // is off the lookups' chain and leaves room for the whole distance and the
                // next entry's bits.
                const size_t length =
                    inflate::LitLengthBase(entry) +
                    static_cast<size_t>(LowBits(saved, inflate::LitDropBits(entry)) >>
                                        inflate::LitBeforeExtra(entry));
                uint32_t dist = distanceTable[LowBits(r.buffer, distBits)];
                r.RefillFast();
                if (dist & kEntrySubtable) {
                    r.buffer >>= distBits;
                    r.held -= distBits;
                    dist =
                        distanceTable[EntryValue(dist) + LowBits(r.buffer, EntryCodeLength(dist))];
                }
                if (dist & kEntryExceptional) {
                    goto done;
                }
                const uint64_t distBitsHeld = r.buffer;
                r.buffer >>= EntryDropBits(dist);
                r.held -= EntryDropBits(dist);
                const size_t distance =
                    EntryValue(dist) +
                    static_cast<size_t>(LowBits(distBitsHeld, EntryDropBits(dist)) >>
                                        EntryCodeLength(dist));
                if (distance > static_cast<size_t>(out - outStart)) {
                    goto done;
                }
                // Look up the next entry (from at least 28 bits held) before copying, so
                // the two overlap; a new round needs its 56 bits.
                entry = literalTable[LowBits(r.buffer, litBits)];
                r.RefillFast();
                CopyMatchFast(out, distance, length);
                out += length;
            } while (r.next < inFastEnd && out < stop);
            if (output.adler && static_cast<size_t>(out - output.summed) >= kSumEvery)
                CatchUpChecksum(output, out);
            continue;
        }

        // One careful step. A windowed output stops here when its window is (nearly) full;
        // input near the end of its window moves on to a window that holds more.
        if (static_cast<size_t>(outEnd - out) < output.keepRoom) {
            result = BlockEnd::Suspended;
            goto done;
        }
        if (r.end - r.next < static_cast<ptrdiff_t>(kInputMargin) && r.input->Advance(r)) continue;
        const uint64_t first = r.DecodeLiteral(literalTable);
        if (inflate::LitCount(first) != 0) {
            if (out == outEnd) goto done;
            *out++ = static_cast<uint8_t>(first >> 32);
            continue;
        }
        if ((first & inflate::kLitLength) == 0) {
            if (first & inflate::kLitEndOfBlock) result = BlockEnd::EndOfBlock;
            goto done;
        }
        uint32_t extra = 0;
        if (!r.Get(inflate::LitDropBits(first) - inflate::LitBeforeExtra(first), extra)) goto done;
        const size_t length = inflate::LitLengthBase(first) + extra;
        uint32_t entry = r.Decode(distanceTable, distBits);
        if (entry & kEntryExceptional) goto done;
        if (!r.Extra(entry, extra)) goto done;
        const size_t distance = EntryValue(entry) + extra;
        if (distance > static_cast<size_t>(out - outStart)) goto done;
        const size_t room = static_cast<size_t>(outEnd - out);
        if (length > room && length - room > output.beyondEnd) goto done;
        // Near the end of the input, where the output often still has room: long runs
        // are common there (the last rows of an image), so they go in pieces too.
        if (room >= length + kOvershoot) {
            CopyMatchFast(out, distance, length);
            out += length;
        } else {
            const size_t n = std::min(length, room);
            const uint8_t* const src = out - distance;
            for (size_t i = 0; i < n; ++i)
                out[i] = src[i];
            out += n;
            if (n != length) {
                output.pendingLength = length - n;
                output.pendingDistance = distance;
                result = BlockEnd::Suspended;
                goto done;
            }
        }
    }
done:
    output.dirty = std::max(output.dirty, static_cast<size_t>(out - outStart) + kOvershoot);
    reader = r;
    output.next = out;
    return result;
}

// The decode loop is built twice on x86-64: as is, and with the BMI2 bit-field
// instructions, used when the processor has them.
BlockEnd DecodeBlockPortable(BitReader& reader, Output& output, const uint64_t* literalTable,
                             const uint32_t* distanceTable) {
    return DecodeBlockBody(reader, output, literalTable, distanceTable);
}

#if MOIRELLE_INFLATE_BMI2
__attribute__((target("bmi2"))) BlockEnd DecodeBlockBmi2(BitReader& reader, Output& output,
                                                         const uint64_t* literalTable,
                                                         const uint32_t* distanceTable) {
    return DecodeBlockBody(reader, output, literalTable, distanceTable);
}

#endif

std::atomic<bool> preferPortable{false};

BlockEnd DecodeBlock(BitReader& reader, Output& output, const uint64_t* literalTable,
                     const uint32_t* distanceTable) {
#if MOIRELLE_INFLATE_BMI2
    static const bool hasBmi2 = __builtin_cpu_supports("bmi2");
    if (hasBmi2 && !preferPortable.load(std::memory_order_relaxed)) {
        return DecodeBlockBmi2(reader, output, literalTable, distanceTable);
    }
#endif
    return DecodeBlockPortable(reader, output, literalTable, distanceTable);
}

// Reads a stored block's header: whole bytes still held go back to the input, the rest
// of the current byte is skipped. False when the block cannot be whole: its length check
// fails, or the input or the output (up to its limit) cannot hold it.
bool BeginStoredBlock(BitReader& r, const Output& output, uint32_t& length) {
    InputCursor& input = *r.input;
    const uint64_t position = input.Position(r) - (r.held >> 3);
    r.buffer = 0;
    r.held = 0;
    if (input.Total() - position < 4) return false;
    input.Seek(r, position);
    uint8_t header[4];
    for (uint8_t& byte : header) {
        if (r.next == r.end) input.Advance(r);
        byte = *r.next++;
    }
    length = header[0] | (uint32_t{header[1]} << 8);
    const uint32_t complement = header[2] | (uint32_t{header[3]} << 8);
    if (length != (~complement & 0xFFFF)) return false;
    if (input.Total() - input.Position(r) < length) return false;
    return static_cast<size_t>(output.end - output.next) + output.beyondEnd >= length;
}

// Copies what is left of a stored block; false when the window fills first.
bool CopyStored(BitReader& r, Output& output, uint32_t& left) {
    while (left != 0) {
        if (output.next == output.end) return false;
        if (r.next == r.end) r.input->Advance(r);
        const size_t n =
            std::min({static_cast<size_t>(left), static_cast<size_t>(output.end - output.next),
                      static_cast<size_t>(r.end - r.next)});
        std::memcpy(output.next, r.next, n);
        r.next += n;
        output.next += n;
        left -= static_cast<uint32_t>(n);
    }
    return true;
}

constexpr std::array<uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                      11, 4,  12, 3, 13, 2, 14, 1, 15};

bool ReadDynamicTables(BitReader& r, DynamicTables& tables) {
    uint32_t hlit = 0, hdist = 0, hclen = 0;
    if (!r.Get(5, hlit) || !r.Get(5, hdist) || !r.Get(4, hclen)) return false;
    const uint32_t literalCount = hlit + 257;
    const uint32_t total = literalCount + hdist + 1;

    std::array<uint8_t, inflate::kCodeLengthSymbols> codeLengthLengths{};
    for (uint32_t i = 0; i < hclen + 4; ++i) {
        uint32_t value = 0;
        if (!r.Get(3, value)) return false;
        codeLengthLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(value);
    }
    std::array<uint32_t, inflate::kCodeLengthTableSize> codeLengthTable;
    if (!inflate::BuildDecodeTable(inflate::Alphabet::CodeLength, codeLengthLengths.data(),
                                   inflate::kCodeLengthSymbols, codeLengthTable.data()))
        return false;

    std::array<uint8_t, inflate::kMaxLiteralSymbols + inflate::kMaxDistanceSymbols> lengths{};
    uint32_t i = 0;
    while (i < total) {
        const uint32_t entry = r.Decode(codeLengthTable.data(), inflate::kCodeLengthTableBits);
        if (entry & kEntryExceptional) return false;
        const uint32_t symbol = EntryValue(entry);
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            continue;
        }
        uint32_t extra = 0;
        uint32_t repeat = 0;
        uint8_t value = 0;
        if (symbol == 16) {
            if (i == 0 || !r.Get(2, extra)) return false;
            repeat = 3 + extra;
            value = lengths[i - 1];
        } else if (symbol == 17) {
            if (!r.Get(3, extra)) return false;
            repeat = 3 + extra;
        } else {
            if (!r.Get(7, extra)) return false;
            repeat = 11 + extra;
        }
        if (repeat > total - i) return false;
        std::memset(lengths.data() + i, value, repeat);
        i += repeat;
    }
    return inflate::BuildLiteralTable(lengths.data(), static_cast<int>(literalCount),
                                      tables.literal) &&
           inflate::BuildDecodeTable(inflate::Alphabet::Distance, lengths.data() + literalCount,
                                     static_cast<int>(hdist + 1), tables.distance);
}

enum class Phase : uint8_t { BlockHeader, Stored, Huffman, Finished, Failed };

// Where a decode stands between calls.
struct DecodeState {
    BitReader reader;
    Output output;
    Phase phase = Phase::BlockHeader;
    bool final = false;
    uint32_t storedLeft = 0;
    const uint64_t* literalTable = nullptr;
    const uint32_t* distanceTable = nullptr;
    std::unique_ptr<DynamicTables> dynamic;
};

enum class RunEnd { Done, Failed, Suspended };

// Inflates block after block until the stream ends, fails or (windowed) the window is
// full; a checksum asked for is brought up to date after each block.
RunEnd RunBlocks(DecodeState& s) {
    BitReader& reader = s.reader;
    Output& output = s.output;
    for (;;) {
        switch (s.phase) {
        case Phase::BlockHeader: {
            if (s.final) {
                s.phase = Phase::Finished;
                continue;
            }
            uint32_t header = 0;
            if (!reader.Get(3, header)) {
                s.phase = Phase::Failed;
                continue;
            }
            s.final = (header & 1) != 0;
            switch (header >> 1) {
            case 0:
                s.phase =
                    BeginStoredBlock(reader, output, s.storedLeft) ? Phase::Stored : Phase::Failed;
                break;
            case 1: {
                const inflate::FixedTables& fixed = inflate::GetFixedTables();
                s.literalTable = fixed.literal;
                s.distanceTable = fixed.distance;
                s.phase = Phase::Huffman;
                break;
            }
            case 2:
                // Not value-initialised: the table builder writes every entry it reads.
                if (!s.dynamic) s.dynamic.reset(new DynamicTables);
                s.literalTable = s.dynamic->literal;
                s.distanceTable = s.dynamic->distance;
                s.phase = ReadDynamicTables(reader, *s.dynamic) ? Phase::Huffman : Phase::Failed;
                break;
            default:
                s.phase = Phase::Failed;
                break;
            }
            continue;
        }
        case Phase::Stored:
            if (!CopyStored(reader, output, s.storedLeft)) return RunEnd::Suspended;
            break;
        case Phase::Huffman:
            switch (DecodeBlock(reader, output, s.literalTable, s.distanceTable)) {
            case BlockEnd::Suspended:
                return RunEnd::Suspended;
            case BlockEnd::Fault:
                s.phase = Phase::Failed;
                continue;
            case BlockEnd::EndOfBlock:
                break;
            }
            break;
        case Phase::Finished:
            return RunEnd::Done;
        case Phase::Failed:
            return RunEnd::Failed;
        }
        // A block ended.
        s.phase = Phase::BlockHeader;
        if (output.adler) CatchUpChecksum(output, output.next);
    }
}

} // namespace

namespace inflate {

bool HasBmi2Loop() {
#if MOIRELLE_INFLATE_BMI2
    return __builtin_cpu_supports("bmi2");
#else
    return false;
#endif
}

void PreferPortableLoop(bool portable) {
    preferPortable.store(portable, std::memory_order_relaxed);
}

} // namespace inflate

bool Inflate(uint8_t* output, size_t outputSize, const uint8_t* input, size_t inputSize) {
    return Inflate(output, outputSize, input, inputSize, nullptr);
}

bool Inflate(uint8_t* output, size_t outputSize, const uint8_t* input, size_t inputSize,
             InflateChecksum* checksum) {
    if (checksum) *checksum = InflateChecksum::Unchecked;
    if (input == nullptr || (output == nullptr && outputSize != 0)) return false;
    const std::span<const uint8_t> piece(input, inputSize);
    InputCursor cursor({&piece, 1}, 0);
    DecodeState state;
    state.reader.input = &cursor;
    state.output = {output, output, output + outputSize};
    cursor.Seek(state.reader, std::min<size_t>(2, inputSize));
    Output& out = state.output;
    uint32_t adler = 1;
    if (checksum) {
        out.adler = &adler;
        out.summed = output;
    }
    bool ok = false;
    try {
        ok = RunBlocks(state) == RunEnd::Done;
    } catch (const std::bad_alloc&) {
        // out of memory for a block's tables: not decoded
    }
    // Whatever the fast loop wrote past the decoded end goes back to zero, as handed in.
    const size_t written = static_cast<size_t>(out.next - output);
    const size_t dirty = std::min(out.dirty, outputSize);
    if (written < dirty) std::memset(out.next, 0, dirty - written);
    if (ok && checksum) {
        // Whole bytes still held are the trailer's; the rest of a byte is padding.
        const BitReader& reader = state.reader;
        const uint8_t* trailer = reader.next - (reader.held >> 3);
        if (reader.end - trailer < 4) {
            *checksum = InflateChecksum::Missing;
        } else {
            const uint32_t stored = (uint32_t{trailer[0]} << 24) | (uint32_t{trailer[1]} << 16) |
                                    (uint32_t{trailer[2]} << 8) | trailer[3];
            *checksum = adler == stored ? InflateChecksum::Matches : InflateChecksum::Mismatch;
        }
    }
    return ok;
}

namespace {

// A window of the default size kept for the thread's next stream: fresh pages from the
// system for every decode cost a few per cent of the decode of a small image. A stream
// made while it is lent out gets a window of its own.
class WindowLoan {
  public:
    explicit WindowLoan(size_t size) {
        static thread_local Kept kept;
        if (size == kKeptSize && !kept.lent) {
            if (!kept.bytes) kept.bytes = std::make_unique_for_overwrite<uint8_t[]>(kKeptSize);
            kept.lent = true;
            kept_ = &kept;
            bytes_ = kept.bytes.get();
        } else {
            own_ = std::make_unique_for_overwrite<uint8_t[]>(size);
            bytes_ = own_.get();
        }
    }
    ~WindowLoan() {
        if (kept_) kept_->lent = false;
    }
    WindowLoan(const WindowLoan&) = delete;
    WindowLoan& operator=(const WindowLoan&) = delete;
    uint8_t* Bytes() const { return bytes_; } // not read before written

  private:
    static constexpr size_t kKeptSize = kHistory + InflateStream::kDefaultChunk;
    struct Kept {
        std::unique_ptr<uint8_t[]> bytes;
        bool lent = false;
    };
    Kept* kept_ = nullptr;
    std::unique_ptr<uint8_t[]> own_;
    uint8_t* bytes_ = nullptr;
};

} // namespace

struct InflateStream::State {
    State(std::vector<std::span<const uint8_t>> input, uint64_t zeroTail, size_t chunkSize)
        : pieces(std::move(input)), cursor(pieces, zeroTail), chunk(std::max<size_t>(chunkSize, 1)),
          window(kHistory + chunk) {}
    std::vector<std::span<const uint8_t>> pieces;
    InputCursor cursor;
    size_t chunk;
    WindowLoan window;      // kHistory bytes of history, then the chunk
    uint64_t limitLeft = 0; // what the stream may still produce from the window's start
    DecodeState decode;
};

InflateStream::InflateStream(std::vector<std::span<const uint8_t>> pieces, uint64_t zeroTail,
                             size_t outputLimit, size_t chunkSize)
    : state_(std::make_unique<State>(std::move(pieces), zeroTail, chunkSize)) {
    State& s = *state_;
    s.limitLeft = outputLimit;
    s.decode.reader.input = &s.cursor;
    s.cursor.Seek(s.decode.reader, std::min<uint64_t>(2, s.cursor.Total()));
    uint8_t* const start = s.window.Bytes();
    s.decode.output = {start, start, start};
    // With a chunk too small for the fast loop's margin, the decoder stops only when full.
    s.decode.output.keepRoom = s.chunk >= 2 * kOutputMargin ? kOutputMargin : 1;
}

InflateStream::~InflateStream() = default;

InflateStream::Status InflateStream::Next(std::span<const uint8_t>& produced) {
    State& s = *state_;
    Output& out = s.decode.output;
    // Keep the last kHistory bytes; the chunk after them is free again. One call
    // produces at most a chunk.
    const size_t held = static_cast<size_t>(out.next - out.start);
    if (held > kHistory) {
        std::memmove(out.start, out.next - kHistory, kHistory);
        out.next = out.start + kHistory;
        s.limitLeft -= held - kHistory;
    }
    const uint64_t allowed = s.limitLeft - static_cast<size_t>(out.next - out.start);
    out.end = out.next + static_cast<size_t>(std::min<uint64_t>(s.chunk, allowed));
    out.beyondEnd = static_cast<size_t>(allowed - static_cast<uint64_t>(out.end - out.next));
    if (out.beyondEnd == 0) out.keepRoom = 0; // the limit is inside the window: no stopping
    uint8_t* const from = out.next;
    RunEnd end = RunEnd::Failed;
    try {
        end = RunBlocks(s.decode);
    } catch (const std::bad_alloc&) {
        s.decode.phase = Phase::Failed;
    }
    produced = {from, static_cast<size_t>(out.next - from)};
    switch (end) {
    case RunEnd::Done:
        return Status::Done;
    case RunEnd::Suspended:
        return Status::More;
    default:
        return Status::Failed;
    }
}

InflateChecksum InflateStream::CompareTrailer(uint32_t adler) {
    State& s = *state_;
    if (s.decode.phase != Phase::Finished) return InflateChecksum::Unchecked;
    // Whole bytes still held are the trailer's; the rest of a byte is padding.
    const BitReader& reader = s.decode.reader;
    const uint64_t position = s.cursor.Position(reader) - (reader.held >> 3);
    uint8_t t[4];
    if (!s.cursor.ReadData(position, t, sizeof t)) return InflateChecksum::Missing;
    const uint32_t stored =
        (uint32_t{t[0]} << 24) | (uint32_t{t[1]} << 16) | (uint32_t{t[2]} << 8) | t[3];
    return adler == stored ? InflateChecksum::Matches : InflateChecksum::Mismatch;
}

} // namespace moirelle
