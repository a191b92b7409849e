// The inflater run a window at a time gives what the whole-buffer call gives, wherever the
// input is split and whatever the size of the output window.
#include "formats/Inflater.h"
#include "tests/portable/inflate/InflateHelpers.h"
#include "tests/portable/inflate/TestData.h"
#include "tests/portable/inflate/ZlibPeer.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

namespace moirelle::test {
namespace {

// `stream` split at the given piece sizes (cycled), each piece in its own exactly sized
// buffer so the sanitizers see a read past any of them.
std::vector<Bytes> Split(const Bytes& stream, const std::vector<size_t>& sizes) {
    std::vector<Bytes> pieces;
    for (size_t at = 0, k = 0; at < stream.size(); ++k) {
        const size_t n = std::min(sizes[k % sizes.size()], stream.size() - at);
        pieces.emplace_back(stream.begin() + static_cast<ptrdiff_t>(at),
                            stream.begin() + static_cast<ptrdiff_t>(at + n));
        at += n;
    }
    return pieces;
}

// The whole-buffer call on the pieces joined plus the zero tail is the reference: the
// windowed run must succeed or fail alike and produce the same bytes before its end.
void ExpectSameAsWhole(const std::vector<Bytes>& pieces, size_t zeroTail, size_t limit,
                       size_t chunk, const std::string& what) {
    Bytes joined;
    std::vector<std::span<const uint8_t>> spans;
    for (const Bytes& piece : pieces) {
        joined.insert(joined.end(), piece.begin(), piece.end());
        spans.emplace_back(piece);
    }
    joined.resize(joined.size() + zeroTail, 0);
    const InflateResult whole = RunInflate(joined, limit);

    InflateStream stream(spans, zeroTail, limit, chunk);
    Bytes output;
    InflateStream::Status status = InflateStream::Status::More;
    for (size_t calls = 0; status == InflateStream::Status::More; ++calls) {
        ASSERT_LE(calls, limit + 1) << what << ": no progress";
        std::span<const uint8_t> produced;
        status = stream.Next(produced);
        ASSERT_LE(produced.size(), chunk) << what;
        output.insert(output.end(), produced.begin(), produced.end());
    }
    ASSERT_EQ(status == InflateStream::Status::Done, whole.ok) << what;
    ASSERT_LE(output.size(), limit) << what;
    output.resize(limit, 0);
    ASSERT_TRUE(output == whole.output) << what;
}

#define REQUIRE_ZLIB()                                                                             \
    if (!Zlib().IsLoaded()) GTEST_SKIP() << "zlib could not be loaded at run time"

Bytes Deflated(const Bytes& data, int level, int strategy = 0) {
    DeflateSettings s;
    s.level = level;
    s.strategy = strategy;
    return Zlib().Deflate(data, s);
}

TEST(InflateStream, EveryOutputWindowSize) {
    REQUIRE_ZLIB();
    // Stored, fixed and dynamic blocks; windows from one byte to beyond the whole output.
    const Bytes data = MakeData(DataKind::Mixed, 1500, 3);
    for (auto [level, strategy] : {std::pair{0, 0}, {1, 4}, {6, 0}, {9, 3}}) {
        const Bytes stream = Deflated(data, level, strategy);
        for (size_t chunk = 1; chunk <= data.size() + 1; chunk += chunk < 40 ? 1 : 37)
            ExpectSameAsWhole({stream}, 0, data.size(), chunk,
                              "level " + std::to_string(level) + " chunk " + std::to_string(chunk));
    }
}

TEST(InflateStream, EveryInputBoundary) {
    REQUIRE_ZLIB();
    const Bytes data = MakeData(DataKind::Text, 4000, 8);
    for (int level : {0, 1, 9}) {
        const Bytes stream = Deflated(data, level);
        for (size_t at = 0; at <= stream.size(); ++at)
            ExpectSameAsWhole(Split(stream, {at == 0 ? stream.size() : at}), 0, data.size(),
                              InflateStream::kDefaultChunk,
                              "level " + std::to_string(level) + " split at " + std::to_string(at));
        ExpectSameAsWhole(Split(stream, {1, 2, 3, 4, 5, 6, 7}), 0, data.size(), 97,
                          "tiny pieces, level " + std::to_string(level));
    }
}

TEST(InflateStream, TrailerIsFoundWhereverThePiecesSplit) {
    REQUIRE_ZLIB();
    const Bytes data = MakeData(DataKind::Text, 3000, 9);
    const uint32_t adler = Zlib().Adler32(1, data.data(), data.size());
    const Bytes stream = Deflated(data, 6);
    const Bytes cut(stream.begin(), stream.end() - 1);
    // What the stream says of `sum` once decoded from `pieces`.
    auto compare = [&](const std::vector<Bytes>& pieces, uint32_t sum) {
        InflateStream windowed({pieces.begin(), pieces.end()}, 0, data.size());
        std::span<const uint8_t> produced;
        InflateStream::Status status = InflateStream::Status::More;
        while (status == InflateStream::Status::More)
            status = windowed.Next(produced);
        EXPECT_EQ(status, InflateStream::Status::Done);
        return windowed.CompareTrailer(sum);
    };
    for (size_t at = 1; at < stream.size(); ++at) {
        SCOPED_TRACE("split at " + std::to_string(at));
        EXPECT_EQ(compare(Split(stream, {at}), adler), InflateChecksum::Matches);
        EXPECT_EQ(compare(Split(stream, {at}), adler ^ 0x10000), InflateChecksum::Mismatch);
        EXPECT_EQ(compare(Split(cut, {at}), adler), InflateChecksum::Missing);
    }
    EXPECT_EQ(compare(Split(stream, {1, 2, 3}), adler), InflateChecksum::Matches);
}

TEST(InflateStream, BlockHeadersAcrossPieces) {
    REQUIRE_ZLIB();
    // Bytes of every value, small ones more often (the AND of two random bytes), make a
    // dynamic header of well over a hundred bytes: split anywhere inside it, the header's
    // bits are read on from the next piece.
    Bytes data(3000);
    uint32_t state = 4;
    for (uint8_t& byte : data) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>((state >> 8) & (state >> 20));
    }
    const Bytes stream = Deflated(data, 9);
    for (size_t at = 70; at < 400 && at < stream.size(); ++at)
        ExpectSameAsWhole(Split(stream, {at, stream.size()}), 0, data.size(),
                          InflateStream::kDefaultChunk, "split at " + std::to_string(at));
}

TEST(InflateStream, InterleavedStreamsKeepTheirOwnWindows) {
    REQUIRE_ZLIB();
    // Two streams alive at once on one thread, taken in turns: neither sees the other's
    // history (both want the default window).
    const Bytes first = MakeData(DataKind::ImageRows, 600000, 1);
    const Bytes second = MakeData(DataKind::Text, 600000, 2);
    const Bytes firstStream = Deflated(first, 6), secondStream = Deflated(second, 6);
    InflateStream a({firstStream}, 0, first.size());
    InflateStream b({secondStream}, 0, second.size());
    Bytes outA, outB;
    InflateStream::Status statusA = InflateStream::Status::More;
    InflateStream::Status statusB = InflateStream::Status::More;
    while (statusA == InflateStream::Status::More || statusB == InflateStream::Status::More) {
        std::span<const uint8_t> produced;
        if (statusA == InflateStream::Status::More) {
            statusA = a.Next(produced);
            outA.insert(outA.end(), produced.begin(), produced.end());
        }
        if (statusB == InflateStream::Status::More) {
            statusB = b.Next(produced);
            outB.insert(outB.end(), produced.begin(), produced.end());
        }
    }
    EXPECT_EQ(statusA, InflateStream::Status::Done);
    EXPECT_EQ(statusB, InflateStream::Status::Done);
    EXPECT_TRUE(outA == first);
    EXPECT_TRUE(outB == second);
}

TEST(InflateStream, LongStreamsSlideTheirHistory) {
    REQUIRE_ZLIB();
    // Matches reach back across many windows; stored blocks longer than a window.
    for (DataKind kind : {DataKind::ImageRows, DataKind::Runs, DataKind::Noise}) {
        const Bytes data = MakeData(kind, 150000, 21);
        for (int level : {0, 6}) {
            const Bytes stream = Deflated(data, level);
            for (size_t chunk : {size_t{313}, size_t{4096}, InflateStream::kDefaultChunk})
                ExpectSameAsWhole(Split(stream, {8192, 5, 30000}), 0, data.size(), chunk,
                                  "kind " + std::to_string(static_cast<int>(kind)) + " level " +
                                      std::to_string(level) + " chunk " + std::to_string(chunk));
        }
    }
}

TEST(InflateStream, CutStreamsZeroTailsAndShortLimits) {
    REQUIRE_ZLIB();
    // Cut streams fail or end as the whole-buffer call decides, reading the zero tail;
    // output beyond the limit fails.
    const Bytes data = MakeData(DataKind::ImageRows, 3000, 5);
    for (int level : {0, 1, 6}) {
        const Bytes stream = Deflated(data, level);
        for (size_t cut = 0; cut <= stream.size(); cut += 3) {
            const Bytes head(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(cut));
            for (size_t tail : {size_t{0}, size_t{3}, size_t{5000}})
                ExpectSameAsWhole(Split(head, {11, 700}), tail, data.size() + 500, 50,
                                  "level " + std::to_string(level) + " cut " + std::to_string(cut) +
                                      " tail " + std::to_string(tail));
        }
        for (size_t limit : {data.size() - 1, data.size() / 2, size_t{1}})
            ExpectSameAsWhole({stream}, 0, limit, 64, "limit " + std::to_string(limit));
    }
}

} // namespace
} // namespace moirelle::test
