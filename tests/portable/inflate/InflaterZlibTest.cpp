// Streams made by zlib in every mode inflate to the original bytes.
#include "tests/portable/inflate/InflateHelpers.h"
#include "tests/portable/inflate/TestData.h"
#include "tests/portable/inflate/ZlibPeer.h"

#include <gtest/gtest.h>

namespace moirelle::test {
namespace {

#define REQUIRE_ZLIB()                                                                             \
    if (!Zlib().IsLoaded()) GTEST_SKIP() << "zlib could not be loaded at run time"

// Checks one stream: exact output size succeeds with the data; a larger buffer gets the
// data and keeps its zero tail (the fast path must not leave scribbles behind); one
// byte less fails.
void CheckStream(const Bytes& data, const Bytes& stream, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_FALSE(stream.empty());
    const InflateResult exact = RunInflate(stream, data.size());
    ASSERT_TRUE(exact.ok);
    ASSERT_TRUE(exact.output == data);
    const InflateResult roomy = RunInflate(stream, data.size() + 700);
    ASSERT_TRUE(roomy.ok);
    Bytes expected = data;
    expected.resize(data.size() + 700, 0);
    ASSERT_TRUE(roomy.output == expected);
    if (!data.empty()) {
        ASSERT_FALSE(RunInflate(stream, data.size() - 1).ok);
    }
}

TEST(InflaterZlib, EveryLevelAndStrategy) {
    REQUIRE_ZLIB();
    uint64_t seed = 1;
    for (DataKind kind : kAllDataKinds) {
        for (size_t size :
             {size_t{0}, size_t{1}, size_t{2}, size_t{100}, size_t{5000}, size_t{70000}}) {
            const Bytes data = MakeData(kind, size, seed++);
            for (int level = 0; level <= 9; ++level) {
                for (int strategy = 0; strategy <= 4; ++strategy) {
                    if (level == 0 && strategy != 0) continue;
                    DeflateSettings s;
                    s.level = level;
                    s.strategy = strategy;
                    CheckStream(data, Zlib().Deflate(data, s),
                                "kind " + std::to_string(static_cast<int>(kind)) + " size " +
                                    std::to_string(size) + " level " + std::to_string(level) +
                                    " strategy " + std::to_string(strategy));
                }
            }
        }
    }
}

TEST(InflaterZlib, WindowSizesMemoryLevelsAndFlushes) {
    REQUIRE_ZLIB();
    Random rng(77);
    for (int i = 0; i < 120; ++i) {
        const DataKind kind = kAllDataKinds[rng.Below(6)];
        const size_t size = rng.Below(4) == 0 ? rng.Below(300000) : rng.Below(20000);
        const Bytes data = MakeData(kind, size, rng.Next());
        DeflateSettings s;
        s.level = static_cast<int>(rng.Below(10));
        s.strategy = static_cast<int>(rng.Below(5));
        s.windowBits = 9 + static_cast<int>(rng.Below(7));
        s.memLevel = 1 + static_cast<int>(rng.Below(9));
        static const int flushes[] = {0, 1, 2, 3, 5};
        s.flush = flushes[rng.Below(5)];
        s.flushEvery = 1 + rng.Below(rng.Below(2) ? 50 : 9000);
        CheckStream(data, Zlib().Deflate(data, s), "case " + std::to_string(i));
    }
}

TEST(InflaterZlib, LargeImageLikeData) {
    REQUIRE_ZLIB();
    const Bytes data = MakeData(DataKind::ImageRows, 3 << 20, 5);
    for (int level : {1, 6, 9}) {
        DeflateSettings s;
        s.level = level;
        CheckStream(data, Zlib().Deflate(data, s), "level " + std::to_string(level));
    }
}

} // namespace
} // namespace moirelle::test
