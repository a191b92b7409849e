// The fast inflater against the plain one (and zlib): same result on every input, the
// same output on success, also for corrupt, cut and random streams.
#include "formats/InflateCpu.h"
#include "formats/Inflater.h"
#include "tests/portable/inflate/InflateHelpers.h"
#include "tests/portable/inflate/RandomStreams.h"
#include "tests/portable/inflate/ReferenceInflater.h"
#include "tests/portable/inflate/TestData.h"

#include <gtest/gtest.h>

namespace moirelle::test {
namespace {

// Compares with the plain inflater; returns the fast one's result.
bool CheckAgainstReference(const Bytes& stream, size_t outputSize) {
    const InflateResult ours = RunInflate(stream, outputSize);
    Bytes expected(outputSize, 0);
    const bool referenceOk =
        ReferenceInflate(expected.data(), outputSize, stream.data(), stream.size());
    EXPECT_EQ(ours.ok, referenceOk);
    if (ours.ok && referenceOk) {
        EXPECT_TRUE(ours.output == expected);
    }
    return ours.ok;
}

// zlib's own verdict on the raw data: when it decodes the stream within outputSize
// bytes, ours must do the same. (Ours accepts more: incomplete code sets, no checksum.)
void CheckAgainstZlib(const Bytes& stream, size_t outputSize) {
    if (!Zlib().IsLoaded()) return;
    Bytes zlibOut;
    if (!Zlib().InflateRaw(stream.data(), stream.size(), outputSize, zlibOut)) return;
    const InflateResult ours = RunInflate(stream, outputSize);
    EXPECT_TRUE(ours.ok);
    EXPECT_TRUE(std::equal(zlibOut.begin(), zlibOut.end(), ours.output.begin()));
}

// Runs each case with the decode loop the processor gets, and with the portable one.
class InflaterDifferential : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (!GetParam() && !inflate::HasBmi2Loop())
            GTEST_SKIP() << "this processor runs the portable loop only";
        inflate::PreferPortableLoop(GetParam());
    }
    void TearDown() override { inflate::PreferPortableLoop(false); }
};

INSTANTIATE_TEST_SUITE_P(Loops, InflaterDifferential, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& loop) {
                             return loop.param ? "Portable" : "Native";
                         });

TEST_P(InflaterDifferential, RandomHandMadeStreams) {
    Random rng(2024);
    int succeeded = 0;
    for (int i = 0; i < 3000; ++i) {
        const RandomStream s = MakeRandomStream(rng);
        SCOPED_TRACE("stream " + std::to_string(i));
        const size_t size =
            rng.Below(3) == 0 ? rng.Below(static_cast<uint32_t>(s.outputBound + 1)) : s.outputBound;
        succeeded += CheckAgainstReference(s.stream, size) ? 1 : 0;
        CheckAgainstZlib(s.stream, size);
        if (HasFailure()) return;
    }
    // The generator must make enough valid streams for the comparison to mean something.
    EXPECT_GT(succeeded, 600);
}

TEST_P(InflaterDifferential, EveryPrefixOfSomeStreams) {
    std::vector<Bytes> streams;
    Random rng(99);
    for (int i = 0; i < 6; ++i)
        streams.push_back(MakeRandomStream(rng).stream);
    if (Zlib().IsLoaded()) {
        const Bytes data = MakeData(DataKind::Mixed, 6000, 3);
        for (int strategy : {0, 2, 3, 4}) {
            DeflateSettings s;
            s.strategy = strategy;
            s.flush = 2;
            s.flushEvery = 1500;
            streams.push_back(Zlib().Deflate(data, s));
        }
        DeflateSettings stored;
        stored.level = 0;
        streams.push_back(Zlib().Deflate(MakeData(DataKind::Text, 300, 4), stored));
    }
    for (const Bytes& stream : streams) {
        for (size_t cut = 0; cut <= stream.size(); ++cut) {
            const Bytes prefix(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(cut));
            SCOPED_TRACE("prefix " + std::to_string(cut));
            CheckAgainstReference(prefix, 8000);
            if (HasFailure()) return;
        }
    }
}

TEST_P(InflaterDifferential, CorruptedZlibStreams) {
    if (!Zlib().IsLoaded()) GTEST_SKIP() << "zlib could not be loaded at run time";
    Random rng(5);
    for (int i = 0; i < 400; ++i) {
        const Bytes data = MakeData(kAllDataKinds[rng.Below(6)], rng.Below(20000), rng.Next());
        DeflateSettings s;
        s.level = static_cast<int>(rng.Below(10));
        s.strategy = static_cast<int>(rng.Below(5));
        Bytes stream = Zlib().Deflate(data, s);
        const int flips = 1 + static_cast<int>(rng.Below(4));
        for (int f = 0; f < flips; ++f) {
            const size_t at = 2 + rng.Below(static_cast<uint32_t>(stream.size() - 2));
            if (rng.Below(3) == 0)
                stream[at] = static_cast<uint8_t>(rng.Next());
            else
                stream[at] ^= static_cast<uint8_t>(1u << rng.Below(8));
        }
        SCOPED_TRACE("case " + std::to_string(i));
        const size_t size = rng.Below(4) == 0 ? data.size() + rng.Below(1000) : data.size();
        CheckAgainstReference(stream, size);
        CheckAgainstZlib(stream, size);
        if (HasFailure()) return;
    }
}

TEST_P(InflaterDifferential, RandomBytes) {
    Random rng(11);
    for (int i = 0; i < 3000; ++i) {
        Bytes stream(2 + rng.Below(rng.Below(2) ? 16 : 600));
        for (uint8_t& b : stream)
            b = static_cast<uint8_t>(rng.Next());
        SCOPED_TRACE("case " + std::to_string(i));
        CheckAgainstReference(stream, rng.Below(5000));
        if (HasFailure()) return;
    }
}

} // namespace
} // namespace moirelle::test
