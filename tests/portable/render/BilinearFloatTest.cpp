// The bilinear rule's float form: every byte it settles is the double-precision rule's,
// on the weights and samples where the two lie closest to a whole number.
#include "dib/ScaleKernels.h"
#include "dib/ScaleSource.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace moirelle {
namespace {

// A weight rounded to a multiple of 2^-bits: 24 is the form's own rounding, 52 that of
// every fraction of a position at least 1, whose weights sum to exactly 1.
double Rounded(double w, int bits) {
    return std::ldexp(std::nearbyint(std::ldexp(w, bits)), -bits);
}
float Rounded24(double w) {
    return static_cast<float>(Rounded(w, 24));
}

// Rows of kWidth source pixels: channel 0 rises from 0 (row 0) to 255 (row 1) and is
// flat along the row, so a pixel's value is 255 * r1 whatever its column weights;
// channel 1 is x / 2 in both rows, flat for the even pixels; channels 2 and 3 random.
// Row weights r1 = (n + d / 65536) / 255 put the first channel within d / 65536 of n.
// The form's estimate is within 4.5 / 65536 and its margin 8 / 65536: for |d| <= 3 the
// first channel of every pixel is left to the caller, for |d| >= 13 it is settled, and
// so are the flat channels near whole numbers, by their taps.
TEST(BilinearFloat, SettledBytesAreTheDoublePrecisionRulesNearWholeNumbers) {
    constexpr size_t kWidth = 260, kCount = 259;
    std::vector<uint8_t> row0(kWidth * 4), row1(kWidth * 4);
    std::mt19937 rng(11);
    for (size_t x = 0; x < kWidth; ++x) {
        const uint8_t flat = static_cast<uint8_t>(x / 2);
        const uint8_t r0[] = {0, flat, static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())};
        const uint8_t r1[] = {255, flat, static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())};
        std::memcpy(&row0[4 * x], r0, 4);
        std::memcpy(&row1[4 * x], r1, 4);
    }
    // Column weights w1: halves, thirds, twenty-fifths just off, a hair from 0 and 1.
    const double columnWeights[] = {0.5,       1.0 / 3, 0.04 + 1e-15, 0.96 - 1e-15, 1e-15,
                                    1 - 1e-15, 0,       0.7};
    std::vector<int32_t> columns(kCount);
    std::vector<double> w1(kCount);
    std::vector<float> weights(8 * kCount);
    for (size_t i = 0; i < kCount; ++i) {
        columns[i] = static_cast<int32_t>(i);
        w1[i] = Rounded(columnWeights[i % std::size(columnWeights)], 52);
        const float q = Rounded24(w1[i]);
        for (int c = 0; c < 4; ++c) {
            weights[8 * i + c] = (1 - q) * 65536;
            weights[8 * i + 4 + c] = q * 65536;
        }
    }
    for (int32_t n : {1, 100, 254})
        for (int32_t d : {-20, -13, -9, -5, -3, -1, 0, 1, 3, 5, 9, 13, 20}) {
            const double r1 = Rounded((n + d / 65536.0) / 255, 52), r0 = 1 - r1;
            const float q = Rounded24(r1);
            std::vector<float> P((kWidth + 1) * 4, 0);
            std::vector<uint8_t> L((kWidth + 1) * 4, 255), out(kCount * 4);
            std::vector<uint32_t> left(kCount);
            BilinearRowsFloat(row0.data(), row1.data(), 1 - q, q, kWidth * 4, P.data(), L.data());
            left.resize(BilinearColumnsFloat(P.data(), L.data(), columns.data(), weights.data(),
                                             kCount, out.data(), left.data()));
            if (std::abs(d) <= 3) {
                EXPECT_EQ(left.size(), kCount) << n << " " << d;
            }
            if (std::abs(d) >= 13) {
                EXPECT_LT(left.size(), kCount / 4) << n << " " << d;
            }
            size_t next = 0;
            for (size_t i = 0; i < kCount; ++i) {
                if (next < left.size() && left[next] == i) {
                    ++next;
                    continue;
                }
                for (size_t c = 0; c < 4; ++c) {
                    const size_t x = 4 * i + c;
                    const double h0 = row0[x] * (1 - w1[i]) + row0[x + 4] * w1[i];
                    const double h1 = row1[x] * (1 - w1[i]) + row1[x + 4] * w1[i];
                    ASSERT_EQ(out[x], static_cast<int>(std::floor(h0 * r0 + h1 * r1)))
                        << "n " << n << " d " << d << " pixel " << i << " channel " << c;
                }
            }
            ASSERT_EQ(next, left.size()) << "the pixels left rise";
        }
}

// The vectorised float passes against the plain ones, with loop tails: the same
// combination, least taps, bytes and pixels left.
TEST(BilinearFloat, VectorisedPassesGiveThePlainLoopsResults) {
    constexpr size_t kWidth = 70;
    std::vector<uint8_t> row0(kWidth * 4), row1(kWidth * 4);
    std::mt19937 rng(13);
    for (size_t k = 0; k < row0.size(); ++k) {
        row0[k] = static_cast<uint8_t>(k % 5 == 0 ? 200 : rng());
        row1[k] = static_cast<uint8_t>(k % 5 == 0 ? 200 : k % 3 == 0 ? row0[k] : rng());
    }
    for (size_t count : {1u, 3u, 8u, 13u, 67u}) {
        std::vector<int32_t> columns(count);
        std::vector<float> weights(8 * count);
        for (size_t i = 0; i < count; ++i) {
            columns[i] = static_cast<int32_t>(rng() % (kWidth - 1));
            const float q = i % 4 == 0 ? 0.5f : static_cast<float>(rng() % 4096) / 4096;
            for (int c = 0; c < 4; ++c) {
                weights[8 * i + c] = (1 - q) * 65536;
                weights[8 * i + 4 + c] = q * 65536;
            }
        }
        for (float r1 : {0.0f, 0.5f, 0.3f, 0.99f}) {
            std::vector<float> P((kWidth + 1) * 4, 0), Pref = P;
            std::vector<uint8_t> L((kWidth + 1) * 4, 255), Lref = L;
            BilinearRowsFloat(row0.data(), row1.data(), 1 - r1, r1, kWidth * 4, P.data(), L.data());
            BilinearRowsFloatScalar(row0.data(), row1.data(), 1 - r1, r1, kWidth * 4, Pref.data(),
                                    Lref.data());
            ASSERT_EQ(P, Pref) << r1;
            ASSERT_EQ(L, Lref) << r1;
            // The least of each pixel's four taps, the last pixel's own two.
            for (size_t k = 0; k < kWidth * 4; ++k) {
                uint8_t least = std::min(row0[k], row1[k]);
                if (k + 4 < kWidth * 4) least = std::min({least, row0[k + 4], row1[k + 4]});
                ASSERT_EQ(L[k], least) << k;
            }
            std::vector<uint8_t> out(count * 4), ref(count * 4);
            std::vector<uint32_t> left(count), leftRef(count);
            left.resize(BilinearColumnsFloat(P.data(), L.data(), columns.data(), weights.data(),
                                             count, out.data(), left.data()));
            leftRef.resize(BilinearColumnsFloatScalar(P.data(), L.data(), columns.data(),
                                                      weights.data(), count, ref.data(),
                                                      leftRef.data()));
            ASSERT_EQ(out, ref) << count << " " << r1;
            ASSERT_EQ(left, leftRef) << count << " " << r1;
        }
    }
}

// The pixels left to the double-precision rule: each listed pixel gets the rule's bytes
// from its four taps, at weights whose values lie on whole numbers (fifths, as a ratio of
// 1.8 gives them) and off them, with a lone last column; the pixels not listed keep theirs.
TEST(BilinearFloat, PixelsLeftGetTheRulesBytesAndNoOthers) {
    constexpr int32_t kWidth = 24;
    constexpr size_t kCount = 60;
    std::mt19937 rng(17);
    std::vector<uint8_t> row0(kWidth * 4), row1(kWidth * 4);
    for (size_t k = 0; k < row0.size(); ++k) {
        // Steps of 5 make fifths of sums land on whole numbers.
        row0[k] = static_cast<uint8_t>(k % 3 == 0 ? 5 * (rng() % 52) : rng());
        row1[k] = static_cast<uint8_t>(k % 3 == 0 ? 5 * (rng() % 52) : rng());
    }
    std::vector<int32_t> taps(2 * kCount);
    std::vector<double> weights(2 * kCount);
    for (size_t i = 0; i < kCount; ++i) {
        const double position = static_cast<double>(i) * 1.8 + (i % 4 == 3 ? 0.013 : 0);
        int32_t x = static_cast<int32_t>(position) % kWidth;
        double w1 = position - std::floor(position);
        if (x == kWidth - 1 || i % 7 == 0) { // the last column alone
            x = kWidth - 1;
            w1 = 0;
        }
        taps[2 * i] = x;
        taps[2 * i + 1] = w1 == 0 && x == kWidth - 1 ? x : x + 1;
        weights[2 * i] = 1 - w1;
        weights[2 * i + 1] = w1;
    }
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < kCount; ++i)
        if (i % 3 != 1) pixels.push_back(i);
    for (double r1 : {0.0, 3 * 1.8 - 5, 0.6, 0.37}) {
        const double r0 = 1 - r1;
        std::vector<uint8_t> out(kCount * 4, 0xA5);
        BilinearExactPixels(row0.data(), row1.data(), taps.data(), weights.data(), r0, r1,
                            pixels.data(), pixels.size(), out.data());
        for (size_t i = 0; i < kCount; ++i)
            for (size_t c = 0; c < 4; ++c) {
                const size_t a = static_cast<size_t>(taps[2 * i]) * 4 + c;
                const size_t b = static_cast<size_t>(taps[2 * i + 1]) * 4 + c;
                const double h0 = row0[a] * weights[2 * i] + row0[b] * weights[2 * i + 1];
                const double h1 = row1[a] * weights[2 * i] + row1[b] * weights[2 * i + 1];
                const int expected =
                    i % 3 == 1 ? 0xA5 : static_cast<int>(std::floor(h0 * r0 + h1 * r1));
                ASSERT_EQ(out[4 * i + c], expected) << "r1 " << r1 << " pixel " << i << " " << c;
            }
    }
}

// Every other source row exactly (a height ratio of 2): the row above has weight 0 and
// does not bound the value, so rows that are flat along the storage row, each 1 below the
// one under it, settle every byte in floats although the row above is smaller.
TEST(ScaleSource, RowsOfWeightZeroLeaveNoPixelToTheDoublePrecisionRule) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(90, 64));
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 90; ++x) {
            const uint8_t v = static_cast<uint8_t>(100 + y); // the row above is smaller
            test::SetPixel(img.View(), x, y, v, v, v, 255);
        }
    ScaleJob job;
    job.source = img.View();
    job.destWidth = 67; // 1.34: the float form
    job.destHeight = 32;
    job.highQuality = true;
    ScaledRows rows;
    ASSERT_TRUE(rows.Start(job));
    ASSERT_TRUE(rows.UsesFloatWeights());
    for (int32_t j = 0; j < rows.Height(); ++j) {
        const uint8_t* row = rows.StorageRow(j);
        const uint8_t* source = img.View().row(2 * j);
        for (int32_t k = 0; k < 4 * rows.Width(); ++k)
            ASSERT_EQ(row[k], source[k % 4]) << j << " " << k;
    }
    EXPECT_EQ(rows.ExactPixels(), 0);
}

// Whole pictures at ratios that take the float form, with flat, transparent and random
// areas, a rectangle off the picture's corner, a clipped origin and an output wider than a
// block of columns: the bytes of the double-precision passes.
TEST(ScaleSource, FloatWeightsGiveTheDoublePrecisionBytes) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(420, 64));
    test::FillRandomPremultiplied(img.View(), 29);
    for (int32_t y = 0; y < 64; ++y) // flat opaque and transparent bands, and a ramp
        for (int32_t x = 0; x < 420; ++x)
            if (y % 16 < 5)
                test::SetPixel(img.View(), x, y, 30, 60, 90, 255);
            else if (y % 16 < 9)
                test::SetPixel(img.View(), x, y, 0, 0, 0, 0);
            else if (y % 16 < 11)
                test::SetPixel(img.View(), x, y, static_cast<uint8_t>(x), 0, 0, 255);
    // Ratios with small denominators put many pixels near whole numbers, and the scaler
    // goes over to the double-precision passes after a few rows; others stay.
    struct Case {
        SourceRect rect;
        int32_t destX, width, height;
        bool staysFloat;
    };
    const Case cases[] = {{{0, 0, 90, 64}, 0, 67, 47, true},   // 1.34 x 1.36
                          {{0, 0, 90, 64}, 0, 64, 45, false},  // 1.41 x 1.42
                          {{3, 5, 80, 50}, 0, 60, 50, false},  // 1.33 x 1, to the rectangle's edge
                          {{0, 0, 90, 64}, -7, 70, 40, false}, // 1.29 x 1.6, clipped
                          {{10, 0, 80, 64}, -3, 53, 41, true},
                          {{0, 0, 420, 64}, 0, 313, 47, true}}; // blocks of columns
    for (const Case& c : cases) {
        ScaleJob job;
        job.source = img.View();
        job.rect = c.rect;
        job.destX = c.destX;
        job.destWidth = c.width;
        job.destHeight = c.height;
        job.highQuality = true;
        ScaledRows rows;
        ASSERT_TRUE(rows.Start(job));
        for (int32_t j = 0; j < rows.Height(); ++j)
            rows.StorageRow(j);
        EXPECT_EQ(rows.UsesFloatWeights(), c.staysFloat) << rows.ExactPixels();
        ScaleJob plain = job;
        plain.integerWeights = plain.floatWeights = false;
        PixelBuffer fast, slow;
        ASSERT_TRUE(ScaleSource(job, fast));
        ASSERT_TRUE(ScaleSource(plain, slow));
        ASSERT_EQ(fast.Width(), slow.Width());
        EXPECT_EQ(std::memcmp(fast.View().bits, slow.View().bits, fast.View().size()), 0)
            << c.width << "x" << c.height;
    }
    // A scaler started again forgets the form of its last job.
    ScaleJob job;
    job.source = img.View();
    job.rect = {0, 0, 90, 64};
    job.destWidth = 67;
    job.destHeight = 47;
    job.highQuality = true;
    ScaledRows rows;
    ASSERT_TRUE(rows.Start(job));
    ASSERT_TRUE(rows.UsesFloatWeights());
    job.destWidth = 45; // halves: the integer form
    job.destHeight = 32;
    ASSERT_TRUE(rows.Start(job));
    EXPECT_FALSE(rows.UsesFloatWeights());
    ASSERT_TRUE(rows.UsesIntegerWeights());
    job.highQuality = false;
    ASSERT_TRUE(rows.Start(job));
    EXPECT_FALSE(rows.UsesIntegerWeights());
}

} // namespace
} // namespace moirelle
