// Adler-32 against zlib's and against its definition, and the inflater's report of a
// stream's checksum trailer.
#include "dib/VectorLevel.h"
#include "formats/Adler32.h"
#include "formats/Adler32Kernels.h"
#include "formats/Inflater.h"
#include "tests/portable/inflate/InflateHelpers.h"
#include "tests/portable/inflate/StreamWriter.h"
#include "tests/portable/inflate/TestData.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace moirelle::test {
namespace {

// The definition, one byte at a time with a reduction after every step.
uint32_t DefinitionAdler(uint32_t adler, const uint8_t* p, size_t n) {
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    for (size_t i = 0; i < n; ++i) {
        a = (a + p[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

TEST(Adler32, AgreesWithZlibAndTheDefinitionAtEveryLevel) {
    // Lengths around the vector pieces (32, 64) and the reduction blocks (5504, 5536,
    // zlib's 5552), at several alignments, over noise and over all-0xFF bytes (the
    // largest sums), on every instruction-set level the processor has.
    for (VectorLevel level : AvailableVectorLevels()) {
        SCOPED_TRACE(VectorLevelName(level));
        const ScopedVectorLevel at(level);
        const Bytes noise = MakeData(DataKind::Noise, 200000, 7);
        const Bytes ones(200000, 0xFF);
        const size_t lengths[] = {0,    1,    31,   32,   33,    63,    64,    100,   5535,
                                  5536, 5537, 5552, 5553, 11072, 11105, 65536, 65537, 150000};
        for (const Bytes* data : {&noise, &ones})
            for (size_t length : lengths)
                for (size_t offset : {0, 1, 7, 15}) {
                    const uint8_t* p = data->data() + offset;
                    const uint32_t ours = Adler32(1, p, length);
                    EXPECT_EQ(ours, DefinitionAdler(1, p, length)) << length << " at " << offset;
                    if (Zlib().HasAdler32()) {
                        EXPECT_EQ(ours, Zlib().Adler32(1, p, length)) << length << " at " << offset;
                    }
                }
        // Continuing from a running value, one near the modulus in both halves.
        for (uint32_t start : {0xFFF0FFF0u, 0x12345678u})
            EXPECT_EQ(
                Adler32(start % 65521 | (start >> 16) % 65521 << 16, noise.data(), 9000),
                DefinitionAdler(start % 65521 | (start >> 16) % 65521 << 16, noise.data(), 9000));
        EXPECT_EQ(Adler32(Adler32(1, noise.data(), 12345), noise.data() + 12345, 54321),
                  Adler32(1, noise.data(), 12345 + 54321));
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
TEST(Adler32, EveryBlockKernelTheProcessorHasAgreesWithTheDefinition) {
    // The level test above reaches only the widest kernel the processor has; each one is
    // checked here on its own, up to its largest block, from sums just below the modulus.
    struct Kernel {
        const char* name;
        bool present;
        void (*block)(uint32_t&, uint32_t&, const uint8_t*, size_t);
        size_t most;
    };
    const Kernel kernels[] = {
        {"avx2", ProcessorVectorLevel() >= VectorLevel::Avx2, adler::BlockAvx2, 5504},
        {"avx512", adler::HasAvx512(), adler::BlockAvx512, adler::kAvx512Most}};
    const Bytes noise = MakeData(DataKind::Noise, adler::kAvx512Most, 5);
    const Bytes ones(adler::kAvx512Most, 0xFF);
    // The largest weighted sums of the 512-bit step, up and down: 0xFF in the first two
    // pieces of 64 bytes of every 256 and 0 in the last two, and the other way round.
    Bytes high(adler::kAvx512Most), low(adler::kAvx512Most);
    for (size_t i = 0; i < high.size(); ++i) {
        high[i] = i % 256 < 128 ? 0xFF : 0;
        low[i] = static_cast<uint8_t>(~high[i]);
    }
    for (const Kernel& kernel : kernels) {
        if (!kernel.present) continue;
        SCOPED_TRACE(kernel.name);
        for (const Bytes* data : std::initializer_list<const Bytes*>{&noise, &ones, &high, &low})
            for (size_t n : {size_t{64}, size_t{128}, size_t{192}, size_t{256}, size_t{448},
                             size_t{5504}, kernel.most}) {
                if (n > kernel.most) continue;
                uint32_t a = 65520, b = 65519;
                kernel.block(a, b, data->data(), n);
                const uint32_t expected = DefinitionAdler(65519u << 16 | 65520, data->data(), n);
                EXPECT_EQ((b % 65521) << 16 | a % 65521, expected) << n;
            }
    }
}

#ifdef __linux__
TEST(Adler32, TheWideStepGoesWhereTheSystemReportsItsInstructions) {
    // Linux lists a processor's AVX-512 flags only when it also saves their registers.
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
    }
    if (line.rfind("flags", 0) != 0) GTEST_SKIP() << "no flags in /proc/cpuinfo";
    std::istringstream words(line.substr(line.find(':') + 1));
    const std::set<std::string> flags{std::istream_iterator<std::string>(words), {}};
    EXPECT_EQ(adler::HasAvx512(),
              flags.count("avx512f") && flags.count("avx512bw") && flags.count("avx512_vnni"));
}
#endif
#endif

// A zlib stream of `data` as the test writer makes it: a fixed block of literals, then
// the trailer (if `trailer`) right after the block's last bit.
Bytes FixedStream(const Bytes& data, bool trailer) {
    StreamWriter w;
    w.BlockHeader(true, 1);
    for (uint8_t c : data)
        w.FixedLiteral(c);
    w.FixedLiteral(256);
    Bytes stream = w.Finish();
    if (trailer) {
        const uint32_t sum = DefinitionAdler(1, data.data(), data.size());
        for (int shift : {24, 16, 8, 0})
            stream.push_back(static_cast<uint8_t>(sum >> shift));
    }
    return stream;
}

InflateChecksum Check(const Bytes& stream, size_t outputSize, bool* ok = nullptr) {
    Bytes out(outputSize, 0);
    InflateChecksum checksum = InflateChecksum::Matches;
    const bool decoded = Inflate(out.data(), out.size(), stream.data(), stream.size(), &checksum);
    if (ok) *ok = decoded;
    return checksum;
}

TEST(InflaterChecksum, ReportsTheTrailerWithoutFailingTheDecode) {
    const Bytes text = ToBytes("a checksum follows the final block");
    const Bytes good = FixedStream(text, true);
    bool ok = false;
    EXPECT_EQ(Check(good, text.size(), &ok), InflateChecksum::Matches);
    EXPECT_TRUE(ok);

    Bytes bad = good;
    bad.back() ^= 1;
    EXPECT_EQ(Check(bad, text.size(), &ok), InflateChecksum::Mismatch);
    EXPECT_TRUE(ok) << "a wrong checksum does not fail the decode";
    EXPECT_EQ(RunInflate(bad, text.size()).output, text);

    Bytes longer = good;
    longer.insert(longer.end(), {0, 0, 0});
    EXPECT_EQ(Check(longer, text.size() + 10), InflateChecksum::Matches) << "bytes after it";

    const Bytes cut(good.begin(), good.end() - 1);
    EXPECT_EQ(Check(cut, text.size(), &ok), InflateChecksum::Missing);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Check(FixedStream(text, false), text.size()), InflateChecksum::Missing);

    EXPECT_EQ(Check(good, text.size() - 1, &ok), InflateChecksum::Unchecked);
    EXPECT_FALSE(ok) << "output too small: no decode, no comparison";
}

TEST(InflaterChecksum, LongerStreamNeverWritesPastTheOutput) {
    // 60000 literals into room for 20000: the fast loop meets the end of the output
    // with plenty of input left, checked and unchecked. Guard bytes lie past it.
    const Bytes data = MakeData(DataKind::Text, 60000, 11);
    const Bytes stream = FixedStream(data, true);
    constexpr size_t kRoom = 20000;
    for (bool checked : {false, true}) {
        SCOPED_TRACE(checked ? "checked" : "unchecked");
        Bytes out(data.size() + 4096, 0xA5);
        InflateChecksum checksum = InflateChecksum::Matches;
        EXPECT_FALSE(Inflate(out.data(), kRoom, stream.data(), stream.size(),
                             checked ? &checksum : nullptr));
        EXPECT_EQ(checksum, checked ? InflateChecksum::Unchecked : InflateChecksum::Matches);
        EXPECT_EQ(std::count(out.begin() + kRoom, out.end(), 0xA5),
                  static_cast<ptrdiff_t>(out.size() - kRoom));
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + kRoom, data.begin()))
            << "what fits is decoded";
    }
}

TEST(InflaterChecksum, ZlibStreamsOfEveryKindMatch) {
    if (!Zlib().IsLoaded()) GTEST_SKIP() << "zlib could not be loaded at run time";
    // On every instruction-set level: with 32-byte registers the sum is kept beside the
    // decode loop, otherwise it catches up behind it.
    for (VectorLevel vectorLevel : AvailableVectorLevels()) {
        SCOPED_TRACE(VectorLevelName(vectorLevel));
        const ScopedVectorLevel at(vectorLevel);
        uint64_t seed = 3;
        for (DataKind kind : kAllDataKinds)
            for (size_t size : {size_t{0}, size_t{1}, size_t{300}, size_t{70000}, size_t{400000}})
                for (int level : {0, 1, 6, 9}) {
                    const Bytes data = MakeData(kind, size, seed++);
                    DeflateSettings settings;
                    settings.level = level;
                    const Bytes stream = Zlib().Deflate(data, settings);
                    bool ok = false;
                    EXPECT_EQ(Check(stream, data.size(), &ok), InflateChecksum::Matches)
                        << size << " bytes, level " << level;
                    EXPECT_TRUE(ok);
                    Bytes bad = stream;
                    bad[bad.size() - 3] ^= 0x40;
                    EXPECT_EQ(Check(bad, data.size()), InflateChecksum::Mismatch);
                }
    }
}

} // namespace
} // namespace moirelle::test
