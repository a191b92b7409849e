// The inflater's own rules around the DEFLATE format, on hand-made streams.
#include "formats/Inflater.h"
#include "tests/portable/inflate/InflateHelpers.h"
#include "tests/portable/inflate/ReferenceInflater.h"
#include "tests/portable/inflate/StreamWriter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace moirelle::test {
namespace {

// A fixed block holding literals, then end of block.
void FixedLiterals(StreamWriter& w, bool final, const std::string& text) {
    w.BlockHeader(final, 1);
    for (unsigned char c : text)
        w.FixedLiteral(c);
    w.FixedLiteral(256);
}

TEST(InflaterRules, HeaderAndChecksumAreNeverRead) {
    StreamWriter w;
    FixedLiterals(w, true, "header");
    Bytes stream = w.Finish();
    stream[0] = 0xFF; // neither a valid method nor a valid check
    stream[1] = 0xFF;
    const Bytes withBadAdler = [&] {
        Bytes s = stream;
        s.insert(s.end(), {0xDE, 0xAD, 0xBE, 0xEF});
        return s;
    }();
    for (const Bytes& s : {stream, withBadAdler}) {
        const InflateResult r = RunInflate(s, 6);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.output, ToBytes("header"));
    }
}

TEST(InflaterRules, StoredBlockBoundsAndLengthCheck) {
    StreamWriter w;
    w.Stored(true, ToBytes("stored"));
    const Bytes stream = w.Finish();
    EXPECT_TRUE(RunInflate(stream, 6).ok) << "LEN exactly fills the output";
    EXPECT_EQ(RunInflate(stream, 6).output, ToBytes("stored"));
    EXPECT_FALSE(RunInflate(stream, 5).ok) << "one byte more than the output holds";

    Bytes shortInput(stream.begin(), stream.end() - 1);
    EXPECT_FALSE(RunInflate(shortInput, 6).ok) << "input holds fewer than LEN bytes";

    Bytes badComplement = stream;
    badComplement[5] ^= 0x01; // NLEN's low byte (header byte, block byte, LEN 2 bytes)
    EXPECT_FALSE(RunInflate(badComplement, 6).ok);

    StreamWriter empty;
    empty.Stored(true, {});
    EXPECT_TRUE(RunInflate(empty.Finish(), 0).ok) << "a stored block of length 0";
}

TEST(InflaterRules, StoredBlockStartsAtTheNextWholeByte) {
    // A fixed block ends mid-byte; the stored block's LEN starts at the next byte
    // boundary, whatever the decoder had fetched ahead.
    StreamWriter w;
    FixedLiterals(w, false, "ab");
    w.Stored(false, ToBytes("cd"));
    FixedLiterals(w, false, "e");
    w.Stored(true, ToBytes("fgh"));
    const InflateResult r = RunInflate(w.Finish(), 8);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, ToBytes("abcdefgh"));
}

TEST(InflaterRules, BlockTypeThreeFails) {
    StreamWriter w;
    FixedLiterals(w, false, "x");
    w.BlockHeader(true, 3);
    w.Bits(0, 16);
    EXPECT_FALSE(RunInflate(w.Finish(), 16).ok);
}

TEST(InflaterRules, OutputBoundHoldsForLiteralsAndMatches) {
    StreamWriter lit;
    FixedLiterals(lit, true, "abc");
    EXPECT_TRUE(RunInflate(lit.Finish(), 3).ok);
    EXPECT_FALSE(RunInflate(lit.Finish(), 2).ok);

    // "ab" then a match of length 10 at distance 2.
    StreamWriter match;
    match.BlockHeader(true, 1);
    match.FixedLiteral('a');
    match.FixedLiteral('b');
    match.FixedLiteral(264); // length 10
    match.FixedDistance(1);  // distance 2
    match.FixedLiteral(256);
    const InflateResult fits = RunInflate(match.Finish(), 12);
    EXPECT_TRUE(fits.ok);
    EXPECT_EQ(fits.output, ToBytes("abababababab"));
    EXPECT_FALSE(RunInflate(match.Finish(), 11).ok);
}

TEST(InflaterRules, ShortStreamLeavesTheRestOfTheOutputAlone) {
    StreamWriter w;
    FixedLiterals(w, true, "hi");
    const InflateResult r = RunInflate(w.Finish(), 300);
    EXPECT_TRUE(r.ok);
    Bytes expected(300, 0);
    expected[0] = 'h';
    expected[1] = 'i';
    EXPECT_EQ(r.output, expected);
}

TEST(InflaterRules, OverlappingMatchRepeatsData) {
    StreamWriter w;
    w.BlockHeader(true, 1);
    w.FixedLiteral('z');
    w.FixedLiteral(285); // length 258
    w.FixedDistance(0);  // distance 1
    w.FixedLiteral('q');
    w.FixedLiteral(285);
    w.FixedDistance(0);
    w.FixedLiteral(256);
    const InflateResult r = RunInflate(w.Finish(), 518);
    ASSERT_TRUE(r.ok);
    Bytes expected(518, 'q');
    std::fill_n(expected.begin(), 259, 'z');
    EXPECT_EQ(r.output, expected);
}

TEST(InflaterRules, MatchesWhereTheInputEndsRepeatTheirPeriodAndLeaveNothingBehind) {
    // The last bytes of the input are decoded one symbol at a time; a long match there,
    // with room after it in the output, at periods below, at and above the copy pieces.
    const int bases[] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49}; // distance codes 0..11
    const int extraBits[] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4};
    for (int distance : {2, 3, 5, 8, 13, 16, 31, 40}) {
        StreamWriter w;
        w.BlockHeader(true, 1);
        for (int i = 0; i < distance; ++i)
            w.FixedLiteral('a' + i);
        w.FixedLiteral(285); // length 258
        int code = 11;
        while (bases[code] > distance)
            --code;
        w.FixedDistance(code);
        w.Bits(static_cast<uint32_t>(distance - bases[code]), extraBits[code]);
        w.FixedLiteral('Z');
        w.FixedLiteral(256);
        const size_t decoded = static_cast<size_t>(distance) + 258 + 1;
        const InflateResult r = RunInflate(w.Finish(), decoded + 100);
        ASSERT_TRUE(r.ok) << distance;
        Bytes expected(decoded + 100, 0);
        for (size_t i = 0; i + 1 < decoded; ++i)
            expected[i] = static_cast<uint8_t>('a' + i % static_cast<size_t>(distance));
        expected[decoded - 1] = 'Z';
        EXPECT_EQ(r.output, expected) << distance;
    }
}

TEST(InflaterRules, DistanceBeforeTheStartOfOutputFails) {
    // Reaching back further than what was written is refused, not read from before the
    // buffer.
    for (int distanceCode : {0, 1, 4, 29}) {
        StreamWriter w;
        w.BlockHeader(true, 1);
        if (distanceCode != 0) w.FixedLiteral('a');
        w.FixedLiteral(257);
        w.FixedDistance(distanceCode);
        if (distanceCode >= 4) w.Bits(0, 13); // extra bits
        w.FixedLiteral(256);
        EXPECT_FALSE(RunInflate(w.Finish(), 64).ok) << "distance code " << distanceCode;
    }
    // Exactly as far back as the output reaches is fine.
    StreamWriter ok;
    ok.BlockHeader(true, 1);
    ok.FixedLiteral('a');
    ok.FixedLiteral('b');
    ok.FixedLiteral(257); // length 3
    ok.FixedDistance(1);  // distance 2
    ok.FixedLiteral(256);
    EXPECT_TRUE(RunInflate(ok.Finish(), 5).ok);
}

TEST(InflaterRules, ReservedSymbolsFail) {
    for (int symbol : {286, 287}) {
        StreamWriter w;
        w.BlockHeader(true, 1);
        w.FixedLiteral('a');
        w.FixedLiteral(symbol);
        w.FixedDistance(0);
        w.FixedLiteral(256);
        EXPECT_FALSE(RunInflate(w.Finish(), 64).ok) << "literal/length " << symbol;
    }
    for (int symbol : {30, 31}) {
        StreamWriter w;
        w.BlockHeader(true, 1);
        w.FixedLiteral('a');
        w.FixedLiteral(257);
        w.FixedDistance(symbol);
        w.Bits(0, 16);
        w.FixedLiteral(256);
        EXPECT_FALSE(RunInflate(w.Finish(), 64).ok) << "distance " << symbol;
    }
}

// Six 9-bit literals after the 3 header bits leave a 7-bit code ending on a byte boundary.
void SixNineBitLiterals(StreamWriter& w, bool final) {
    w.BlockHeader(final, 1);
    for (int i = 0; i < 6; ++i)
        w.FixedLiteral(200);
}

TEST(InflaterRules, ReadingHeaderOrExtraBitsPastTheEndFails) {
    EXPECT_FALSE(RunInflate({0x78, 0x9c}, 8).ok) << "no block header at all";
    EXPECT_FALSE(RunInflate({0x78}, 8).ok);
    EXPECT_FALSE(RunInflate({}, 8).ok);

    // A non-final block ends exactly at the end of the input: the next header is missing.
    StreamWriter w;
    SixNineBitLiterals(w, false);
    w.FixedLiteral(256);
    const Bytes noNextHeader = w.Finish();
    ASSERT_EQ(noNextHeader.size(), 2u + 8u);
    EXPECT_FALSE(RunInflate(noNextHeader, 64).ok);
    w.Stored(true, {});
    EXPECT_TRUE(RunInflate(w.Finish(), 64).ok) << "control: with the final block";

    // Length code 265 (1 extra bit) whose extra bit lies past the end of the input.
    StreamWriter extra;
    SixNineBitLiterals(extra, true);
    extra.FixedLiteral(265);
    const Bytes cut = extra.Finish();
    ASSERT_EQ(cut.size(), 2u + 8u);
    EXPECT_FALSE(RunInflate(cut, 64).ok);
    extra.Bits(0, 1);
    extra.FixedDistance(0);
    extra.FixedLiteral(256);
    const InflateResult control = RunInflate(extra.Finish(), 17);
    EXPECT_TRUE(control.ok) << "control: with the extra bit";
    EXPECT_EQ(control.output, Bytes(17, 200));

    // Dynamic header cut inside HDIST.
    StreamWriter dyn;
    dyn.BlockHeader(true, 2);
    dyn.Bits(0, 5);
    EXPECT_FALSE(RunInflate(dyn.Finish(), 64).ok);
}

TEST(InflaterRules, MissingBitsOfAHuffmanCodeReadAsZero) {
    // The fixed end-of-block code is seven zero bits: a stream cut inside it still ends.
    StreamWriter w;
    w.BlockHeader(true, 1);
    w.FixedLiteral('A');    // 3 + 8 = 11 bits; the end-of-block code would fill bits 11..17
    Bytes cut = w.Finish(); // 2 bytes of data: bits 11..15 are zero padding
    ASSERT_EQ(cut.size(), 4u);
    const InflateResult r = RunInflate(cut, 4);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, (Bytes{'A', 0, 0, 0}));

    // Past the end, zero bits go on decoding: here code 0 is 'x', so a final block cut
    // before its end-of-block code yields 'x' until the output is full, then fails (it
    // never hangs).
    const std::vector<int> lit = [] {
        std::vector<int> l(257, 0);
        l['x'] = 1; // code 0
        l[256] = 1; // code 1
        return l;
    }();
    StreamWriter zeros;
    zeros.DynamicHeader(true, lit, {1});
    const HuffmanCodes codes = CanonicalCodes(lit);
    zeros.Symbol(codes, 'x');
    const InflateResult filled = RunInflate(zeros.Finish(), 40);
    EXPECT_FALSE(filled.ok);
}

TEST(InflaterRules, DynamicIncompleteCodesDecode) {
    // One distance code of length 1 and a literal set far from complete.
    std::vector<int> lit(286, 0);
    lit['a'] = 2;
    lit['b'] = 2;
    lit[256] = 2;
    lit[258] = 3; // length 4
    StreamWriter w;
    w.DynamicHeader(true, lit, {1});
    const HuffmanCodes codes = CanonicalCodes(lit);
    const HuffmanCodes dist = CanonicalCodes({1});
    w.Symbol(codes, 'a');
    w.Symbol(codes, 'b');
    w.Symbol(codes, 258);
    w.Symbol(dist, 0); // distance 1
    w.Symbol(codes, 256);
    const InflateResult r = RunInflate(w.Finish(), 6);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, ToBytes("abbbbb"));

    // The unused code of an incomplete set (here the distance code 1) is undecodable.
    StreamWriter bad;
    bad.DynamicHeader(true, lit, {1});
    bad.Symbol(codes, 'a');
    bad.Symbol(codes, 258);
    bad.Code(1, 1);
    bad.Symbol(codes, 256);
    EXPECT_FALSE(RunInflate(bad.Finish(), 64).ok);

    // The literal set's unused codes (prefix 111) are undecodable too.
    StreamWriter badLit;
    badLit.DynamicHeader(true, lit, {1});
    badLit.Symbol(codes, 'a');
    badLit.Code(7, 3);
    badLit.Bits(0, 16);
    EXPECT_FALSE(RunInflate(badLit.Finish(), 64).ok);
}

TEST(InflaterRules, DynamicEmptyDistanceSetServesLiteralOnlyBlocks) {
    std::vector<int> lit(257, 0);
    lit['k'] = 1;
    lit[256] = 1;
    StreamWriter w;
    w.DynamicHeader(true, lit, {0});
    const HuffmanCodes codes = CanonicalCodes(lit);
    w.Symbol(codes, 'k');
    w.Symbol(codes, 'k');
    w.Symbol(codes, 256);
    const InflateResult r = RunInflate(w.Finish(), 2);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, ToBytes("kk"));
}

TEST(InflaterRules, DynamicOverSubscribedSetsFail) {
    std::vector<int> lit(257, 0);
    lit['a'] = 1;
    lit['b'] = 1;
    lit[256] = 1; // three codes of length 1
    StreamWriter w;
    w.DynamicHeader(true, lit, {1});
    w.Bits(0, 16);
    EXPECT_FALSE(RunInflate(w.Finish(), 64).ok);

    std::vector<int> okLit(257, 0);
    okLit['a'] = 1;
    okLit[256] = 1;
    StreamWriter d;
    d.DynamicHeader(true, okLit, {1, 1, 1}); // over-subscribed distances
    d.Bits(0, 16);
    EXPECT_FALSE(RunInflate(d.Finish(), 64).ok);

    // Over-subscribed code-length code: every one of the 19 lengths is 1.
    StreamWriter cl;
    cl.BlockHeader(true, 2);
    cl.Bits(0, 5);
    cl.Bits(0, 5);
    cl.Bits(15, 4);
    for (int i = 0; i < 19; ++i)
        cl.Bits(1, 3);
    cl.Bits(0, 32);
    EXPECT_FALSE(RunInflate(cl.Finish(), 64).ok);
}

TEST(InflaterRules, DynamicRepeatCodes) {
    // Lengths: 'a', 'b', 256 = 2; 257, 258 = 3; two distance codes of length 3, the last
    // three lengths coming from one code 16 that crosses into the distance lengths.
    const std::vector<CodeLengthOp> ops = {
        {18, 97 - 11}, // 0..96 zero
        {2},           // 'a'
        {2},           // 'b'
        {18, 127},     // 99..236 zero
        {17, 7},       // 237..246 zero
        {17, 6},       // 247..255 zero
        {2},           // 256
        {3},           // 257
        {16, 0},       // 258, distance 0, distance 1
    };
    std::vector<int> lit(259, 0);
    lit['a'] = lit['b'] = lit[256] = 2;
    lit[257] = lit[258] = 3;
    const HuffmanCodes codes = CanonicalCodes(lit);
    const HuffmanCodes dist = CanonicalCodes({3, 3});
    StreamWriter w;
    w.DynamicHeader(true, 259, 2, ops);
    w.Symbol(codes, 'a');
    w.Symbol(codes, 'b');
    w.Symbol(codes, 257); // length 3
    w.Symbol(dist, 1);    // distance 2
    w.Symbol(codes, 258); // length 4
    w.Symbol(dist, 0);    // distance 1
    w.Symbol(codes, 256);
    const InflateResult r = RunInflate(w.Finish(), 9);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, ToBytes("ababaaaaa"));

    StreamWriter first;
    first.DynamicHeader(true, 257, 1, {{16, 0}, {18, 127}, {18, 127}});
    first.Bits(0, 16);
    EXPECT_FALSE(RunInflate(first.Finish(), 64).ok) << "code 16 with no previous length";

    StreamWriter past;
    past.DynamicHeader(true, 257, 1, {{1}, {18, 127}, {18, 107}, {17, 0}});
    past.Bits(0, 16);
    EXPECT_FALSE(RunInflate(past.Finish(), 64).ok) << "repeat past HLIT + HDIST entries";

    StreamWriter pastBy16;
    pastBy16.DynamicHeader(true, 257, 1, {{18, 127}, {18, 107}, {1}, {16, 0}});
    pastBy16.Bits(0, 16);
    EXPECT_FALSE(RunInflate(pastBy16.Finish(), 64).ok) << "code 16 past the end";
}

TEST(InflaterRules, LargestHeaderCountsAreAccepted) {
    // HLIT 288 and HDIST 32: the two reserved symbols of each set get lengths too.
    std::vector<int> lit(288, 0);
    lit['m'] = 1;
    lit[256] = 2;
    lit[287] = 2;
    std::vector<int> dist(32, 0);
    dist[31] = 1;
    StreamWriter w;
    w.DynamicHeader(true, lit, dist);
    const HuffmanCodes codes = CanonicalCodes(lit);
    w.Symbol(codes, 'm');
    w.Symbol(codes, 256);
    const InflateResult r = RunInflate(w.Finish(), 1);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, ToBytes("m"));

    StreamWriter reserved;
    reserved.DynamicHeader(true, lit, dist);
    reserved.Symbol(codes, 'm');
    reserved.Symbol(codes, 287);
    reserved.Code(0, 1);
    reserved.Symbol(codes, 256);
    EXPECT_FALSE(RunInflate(reserved.Finish(), 64).ok);
}

TEST(InflaterRules, LongRunsOfLongCodesStayWithinTheInput) {
    // Every literal's code is 12 bits, longer than a table index: thousands of them in a
    // row, read from an input buffer of exactly the stream's size (the sanitizers see any
    // read past it).
    std::vector<int> literalLengths(260, 0);
    for (int s = 0; s < 256; ++s)
        literalLengths[static_cast<size_t>(s)] = 12;
    literalLengths[256] = 1; // with 257-259 at 2, 3 and 4 bits the code is complete
    literalLengths[257] = 2;
    literalLengths[258] = 3;
    literalLengths[259] = 4;
    const std::vector<int> distanceLengths = {1};
    const HuffmanCodes codes = CanonicalCodes(literalLengths);
    StreamWriter w;
    w.DynamicHeader(true, literalLengths, distanceLengths);
    Bytes expected(3000);
    Random rng(9);
    for (uint8_t& byte : expected) {
        byte = static_cast<uint8_t>(rng.Next());
        w.Symbol(codes, byte);
    }
    w.Symbol(codes, 256);
    const Bytes stream = w.Finish();
    const auto input = std::make_unique<uint8_t[]>(stream.size());
    std::copy(stream.begin(), stream.end(), input.get());
    Bytes output(expected.size(), 0);
    EXPECT_TRUE(Inflate(output.data(), output.size(), input.get(), stream.size()));
    EXPECT_TRUE(output == expected);
}

TEST(InflaterRules, MatchesOfTheMostBitsInARowDecode) {
    // Rounds of an 11-bit literal, then a 5-bit literal with a 6-bit length code and its
    // 5 extra bits, then a 15-bit distance code with 13 extra bits: 55 bits in a row.
    // The literal that follows ends in 1 bits, so it reads wrong when bits run short.
    std::vector<int> lit(286, 0);
    for (int symbol : {'p', 'q', 'r', 'x'})
        lit[symbol] = 11;
    lit['y'] = 5;
    lit[256] = 5;
    lit[284] = 6; // lengths 227..258
    std::vector<int> dist(30, 0);
    dist[0] = 1;
    dist[29] = 15; // distances 24577..32768
    const HuffmanCodes codes = CanonicalCodes(lit);
    const HuffmanCodes distCodes = CanonicalCodes(dist);
    Random random(5);
    Bytes history(30000);
    for (uint8_t& byte : history)
        byte = static_cast<uint8_t>(random.Next());
    StreamWriter w;
    w.Stored(false, history);
    w.DynamicHeader(true, lit, dist);
    size_t size = history.size();
    for (int round = 0; round < 200; ++round) {
        w.Symbol(codes, 'x');
        w.Symbol(codes, 'y');
        w.Symbol(codes, 284);
        const uint32_t lengthExtra = random.Below(31);
        w.Bits(lengthExtra, 5);
        w.Symbol(distCodes, 29);
        w.Bits(random.Below(5000), 13);
        size += 2 + 227 + lengthExtra;
    }
    w.Symbol(codes, 'x');
    w.Symbol(codes, 256);
    ++size;
    const Bytes stream = w.Finish();
    Bytes expected(size, 0);
    ASSERT_TRUE(ReferenceInflate(expected.data(), size, stream.data(), stream.size()));
    const InflateResult r = RunInflate(stream, size);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.output == expected);
}

} // namespace
} // namespace moirelle::test
