// Lightness, mirroring, scaling and the unrotated software road before the blend.
#include "dib/AdjustLight.h"
#include "dib/BilinearTaps.h"
#include "dib/BlendPixels.h"
#include "dib/BlendToDestination.h"
#include "dib/MirrorSource.h"
#include "dib/ScaleKernels.h"
#include "dib/ScaleSource.h"
#include "dib/SoftwareRender.h"
#include "dib/VectorLevel.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace moirelle {
namespace {

using test::Packed;
using test::PixelAt;

uint32_t RowPixel(SourceRows& rows, int32_t x, int32_t y) {
    uint32_t p;
    std::memcpy(&p, rows.Row(y) + x * 4, 4);
    return p;
}

TEST(AdjustLight, FullAmountsGiveWhiteAndBlack) {
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(16, 16));
    test::FillRandomPremultiplied(buf.View(), 1);
    PixelBuffer bright, dark;
    ASSERT_TRUE(AdjustLightCopy(100, buf.View(), bright));
    ASSERT_TRUE(AdjustLightCopy(-100, buf.View(), dark));
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            const uint8_t a = PixelAt(buf.View(), x, y)[3];
            const uint32_t aa = a;
            EXPECT_EQ(Packed(bright.View(), x, y), aa << 24 | aa << 16 | aa << 8 | aa);
            EXPECT_EQ(Packed(dark.View(), x, y), aa << 24);
        }
}

TEST(AdjustLight, DeltaIsRoundedThenDividedTowardZero) {
    const auto up = LightDeltas(50);
    const auto down = LightDeltas(-50);
    // f = 127.5; f * 255 = 32512.5 rounds to the even 32512, / 255 = 127.
    EXPECT_EQ(up[255], 127);
    EXPECT_EQ(down[255], -127);
    // f * 2 = 255 -> 1; f * 1 = 127.5 rounds to 128 -> 0.
    EXPECT_EQ(up[2], 1);
    EXPECT_EQ(up[1], 0);
    // A colour is clamped at its alpha when brightening and at 0 when darkening.
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(2, 1));
    test::SetPixel(buf.View(), 0, 0, 200, 10, 0, 250);
    test::SetPixel(buf.View(), 1, 0, 5, 0, 0, 0);
    AdjustLight(50, buf.View());
    const int32_t d = LightDeltas(50)[250];
    EXPECT_EQ(PixelAt(buf.View(), 0, 0)[0], 250);
    EXPECT_EQ(PixelAt(buf.View(), 0, 0)[1], 10 + d);
    EXPECT_EQ(PixelAt(buf.View(), 1, 0)[0], 5); // alpha 0 stays as it was
    AdjustLight(-100, buf.View());
    EXPECT_EQ(PixelAt(buf.View(), 0, 0)[0], 0);
}

TEST(MirrorSource, CutsTheRectangleFromTheMirroredPicture) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(6, 4));
    test::FillPositions(img.View());
    SourceRect rect{1, 1, 3, 2};
    int32_t w = -3, h = -2;
    float amount = 0;
    PixelBuffer out;
    ASSERT_TRUE(MirrorSource(img.View(), rect, w, h, out, amount));
    EXPECT_EQ(rect.x, 0);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    for (int32_t k = 0; k < 2; ++k)
        for (int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(Packed(out.View(), i, k), Packed(img.View(), 6 - 1 - 1 - i, 4 - 1 - 1 - k));
    // Nothing to mirror.
    w = 3, h = 2;
    rect = {1, 1, 3, 2};
    EXPECT_FALSE(MirrorSource(img.View(), rect, w, h, out, amount));
}

TEST(MirrorSource, AppliesAPendingLightChange) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(2, 2));
    test::FillRandomPremultiplied(img.View(), 3);
    test::SetPixel(img.View(), 0, 0, 1, 2, 3, 200);
    SourceRect rect{0, 0, 2, 2};
    int32_t w = -2, h = 2;
    float amount = 100;
    PixelBuffer out;
    ASSERT_TRUE(MirrorSource(img.View(), rect, w, h, out, amount));
    EXPECT_EQ(amount, 0);
    EXPECT_EQ(Packed(out.View(), 1, 0), 0xC8C8C8C8u);
}

// An independent coding of the sampling rule, skipping neighbours of weight 0.
uint8_t ReferenceBilinear(const PixelView& src, double xs, double ys, int32_t lastColumn,
                          int32_t lastRow, int k) {
    const double X = std::floor(xs), Y = std::floor(ys);
    const double fx = xs - X, fy = ys - Y;
    const int32_t x = static_cast<int32_t>(X), y = static_cast<int32_t>(Y);
    auto s = [&](int32_t col, int32_t row) {
        return static_cast<double>(src.row(row)[col * 4 + k]);
    };
    auto h = [&](int32_t row) {
        if (x == lastColumn || fx == 0) return s(x, row) * 1.0;
        return s(x, row) * (1 - fx) + s(x + 1, row) * fx;
    };
    double v;
    if (y == lastRow || fy == 0)
        v = h(y) * 1.0;
    else
        v = h(y) * (1 - fy) + h(y + 1) * fy;
    return static_cast<uint8_t>(std::floor(v));
}

TEST(ScaleSource, BilinearFollowsTheSamplingRuleEverywhere) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(23, 17));
    test::FillRandomPremultiplied(img.View(), 7);
    const int32_t sizes[][2] = {{40, 30}, {9, 5}, {23, 17}, {50, 7}, {1, 1}};
    for (const auto& size : sizes) {
        ScaleJob job;
        job.source = img.View();
        job.rect = {3, 2, 17, 12};
        job.destWidth = size[0];
        job.destHeight = -size[1]; // the sign is ignored
        job.highQuality = true;
        PixelBuffer out;
        ASSERT_TRUE(ScaleSource(job, out));
        ASSERT_EQ(out.Width(), size[0]);
        ASSERT_EQ(out.Height(), size[1]);
        const double xr = 17.0 / size[0], yr = 12.0 / size[1];
        const int32_t b = 17 - 12 - 2;
        for (int32_t j = 0; j < size[1]; ++j)
            for (int32_t i = 0; i < size[0]; ++i)
                for (int k = 0; k < 4; ++k)
                    ASSERT_EQ(out.View().row(j)[i * 4 + k],
                              ReferenceBilinear(img.View(), 3 + i * xr, j * yr + b, 3 + 17 - 1,
                                                b + 12 - 1, k))
                        << size[0] << "x" << size[1] << " at " << i << "," << j;
    }
}

TEST(ScaleSource, BilinearWeightsAtTheEdges) {
    // Last column alone, top row of the rectangle alone; elsewhere the sample and the
    // next column (row above in storage) share the weight.
    ColumnTaps c = ColumnTapsAt(4.75, 4);
    EXPECT_EQ(c.x0, 4);
    EXPECT_EQ(c.x1, 4);
    EXPECT_EQ(c.w0, 1);
    EXPECT_EQ(c.w1, 0);
    c = ColumnTapsAt(2.25, 4);
    EXPECT_EQ(c.x1, 3);
    EXPECT_EQ(c.w0, 0.75);
    RowTaps r = RowTapsAt(5.5, 5);
    EXPECT_EQ(r.y0, 5);
    EXPECT_EQ(r.y1, 5);
    EXPECT_EQ(r.w0, 1);
    EXPECT_EQ(r.w1, 0);
    r = RowTapsAt(3.25, 5);
    EXPECT_EQ(r.y0, 3);
    EXPECT_EQ(r.y1, 4);
    EXPECT_EQ(r.w0, 0.75);
    EXPECT_EQ(r.w1, 0.25);
    r = RowTapsAt(0.5, 5); // storage row 0 is an ordinary row
    EXPECT_EQ(r.y0, 0);
    EXPECT_EQ(r.y1, 1);
    EXPECT_EQ(r.w0, 0.5);
}

TEST(ScaleSource, UnscaledBilinearCopyIsTheSource) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(13, 9));
    test::FillRandomPremultiplied(img.View(), 21);
    const SourceRect rects[] = {{0, 0, 13, 9}, {2, 3, 7, 4}, {12, 8, 1, 1}};
    for (const SourceRect& rect : rects) {
        for (bool integer : {true, false}) {
            ScaleJob job;
            job.source = img.View();
            job.rect = rect;
            job.destWidth = rect.width;
            job.destHeight = rect.height;
            job.highQuality = true;
            job.integerWeights = integer;
            PixelBuffer out;
            ASSERT_TRUE(ScaleSource(job, out));
            const int32_t b = 9 - rect.height - rect.y;
            for (int32_t j = 0; j < rect.height; ++j)
                ASSERT_EQ(std::memcmp(out.View().row(j), img.View().row(b + j) + rect.x * 4,
                                      static_cast<size_t>(rect.width) * 4),
                          0)
                    << rect.x << "," << rect.y << " row " << j;
        }
    }
}

TEST(ScaleSource, UpscaledTwoRowsBlendTheRightRows) {
    // Top row (storage row 1) 200, bottom row (storage row 0) 0 in every byte; four
    // output rows sample at 0, 0.5, 1 and 1.5 rows up from the bottom.
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(2, 2));
    std::memset(img.View().row(0), 0, 8);
    std::memset(img.View().row(1), 200, 8);
    ScaleJob job;
    job.source = img.View();
    job.destWidth = 2;
    job.destHeight = 4;
    job.highQuality = true;
    PixelBuffer out;
    ASSERT_TRUE(ScaleSource(job, out));
    const uint8_t expected[] = {0, 100, 200, 200}; // storage rows of the output
    for (int32_t j = 0; j < 4; ++j)
        for (int32_t k = 0; k < 8; ++k)
            EXPECT_EQ(out.View().row(j)[k], expected[j]) << j << " " << k;
}

TEST(ScaleSource, NearestPicksFlooredPositionsAndClipsNegativeOrigins) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(4, 4));
    test::FillPositions(img.View());
    ScaleJob job;
    job.source = img.View();
    job.rect = {1, 0, 3, 4};
    job.destX = -2;
    job.destY = -1;
    job.destWidth = 6;
    job.destHeight = 8;
    PixelBuffer out;
    ASSERT_TRUE(ScaleSource(job, out));
    ASSERT_EQ(out.Width(), 4);  // 6 less the 2 clipped columns
    ASSERT_EQ(out.Height(), 7); // 8 less the top row
    EXPECT_EQ(job.destWidth, 4);
    for (int32_t j = 0; j < 7; ++j)
        for (int32_t i = 0; i < 4; ++i) {
            const int32_t col = 1 + static_cast<int32_t>(std::floor((i + 2) * 0.5));
            const int32_t row = static_cast<int32_t>(std::floor(j * 0.5)); // storage rows
            EXPECT_EQ(std::memcmp(out.View().row(j) + i * 4, img.View().row(row) + col * 4, 4), 0);
        }
    job.destX = -6;
    EXPECT_FALSE(ScaleSource(job, out));
}

// Nearest rows blended straight from the source give the bytes of the row made first and
// blended then; rows or columns outside the output, bilinear rows and rows with a change
// of lightness are refused and leave the destination as it was.
TEST(ScaleSource, NearestRowsBlendStraightOntoTheDestinationWithinTheOutput) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(5, 4));
    test::FillRandomPremultiplied(img.View(), 41);
    ScaleJob job;
    job.source = img.View();
    job.destWidth = 8;
    job.destHeight = 6;
    ScaledRows rows;
    ASSERT_TRUE(rows.Start(job));
    std::mt19937 rng(43);
    std::vector<uint8_t> background(8 * 4);
    for (uint8_t& b : background)
        b = static_cast<uint8_t>(rng());
    for (uint32_t op : {255u, 128u})
        for (int32_t y = 0; y < 6; ++y)
            for (int32_t x : {0, 3}) {
                const size_t count = static_cast<size_t>(8 - x);
                std::vector<uint8_t> dst = background, expected = background;
                BlendRow32(rows.Row(y) + 4 * x, expected.data(), count, op, nullptr);
                ASSERT_TRUE(rows.BlendRowOnto(y, x, dst.data(), count, op)) << y << " " << x;
                EXPECT_EQ(dst, expected) << y << " " << x << " " << op;
            }
    struct Refused {
        int32_t y, x;
        size_t count;
    };
    for (const Refused& r : {Refused{6, 0, 8}, Refused{-1, 0, 8}, Refused{0, -1, 8},
                             Refused{0, 1, 8}, Refused{0, 0, 9}}) {
        std::vector<uint8_t> dst = background;
        EXPECT_FALSE(rows.BlendRowOnto(r.y, r.x, dst.data(), r.count, 255)) << r.y << " " << r.x;
        EXPECT_EQ(dst, background);
    }
    ScaleJob smooth = job, lighter = job;
    smooth.highQuality = true;
    lighter.amount = 0.5f;
    for (const ScaleJob& other : {smooth, lighter}) {
        ScaledRows otherRows;
        ASSERT_TRUE(otherRows.Start(other));
        std::vector<uint8_t> dst = background;
        EXPECT_FALSE(otherRows.BlendRowOnto(0, 0, dst.data(), 8, 255)) << other.highQuality;
        EXPECT_EQ(dst, background);
    }
}

// Rows read in order, from the top (as the blend reads them) or from the bottom, make each
// source row they use once: the taps' rows of every output row, counted from the rule
// (row floor(j * ratio), and the one above when the position has a fraction).
TEST(ScaleSource, RowsReadInOrderMakeEachSourceRowOnce) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(9, 16));
    test::FillRandomPremultiplied(img.View(), 47);
    struct Case {
        int32_t width, height;
        bool highQuality;
    };
    for (const Case& c : {Case{6, 10, true}, Case{7, 40, true}, Case{6, 13, true},
                          Case{4, 48, false}, Case{9, 7, false}})
        for (bool fromTop : {true, false}) {
            ScaleJob job;
            job.source = img.View();
            job.destWidth = c.width;
            job.destHeight = c.height;
            job.highQuality = c.highQuality;
            job.integerWeights = job.floatWeights = false;
            ScaledRows rows;
            ASSERT_TRUE(rows.Start(job));
            std::vector<bool> used(16, false);
            for (int32_t k = 0; k < c.height; ++k) {
                const int32_t j = fromTop ? c.height - 1 - k : k;
                rows.StorageRow(j);
                const double ys = j * (16.0 / c.height);
                const int32_t y = static_cast<int32_t>(std::floor(ys));
                used[static_cast<size_t>(y)] = true;
                if (c.highQuality && ys != y && y < 15) used[static_cast<size_t>(y) + 1] = true;
            }
            EXPECT_EQ(rows.SourceRowsMade(), std::count(used.begin(), used.end(), true))
                << c.width << "x" << c.height << (fromTop ? " from the top" : " from the bottom");
        }
}

TEST(SoftwareRoad, MirroredDrawAtNegativeOriginCutsTheFirstColumns) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(30, 5));
    test::FillPositions(img.View());
    RenderRequest r;
    r.destX = -10;
    r.destWidth = -30; // mirrored left to right
    r.destHeight = 5;
    r.srcWidth = 30;
    r.srcHeight = 5;
    PreparedSource p;
    ASSERT_TRUE(PrepareSoftwareSource(img.View(), r, false, p));
    EXPECT_EQ(p.destWidth, 30);
    BlendPlan plan;
    ASSERT_TRUE(PlanBlend(p.Rows(), p.srcX, p.srcY, p.destX, p.destY, p.destWidth, p.destHeight, 0,
                          0, plan));
    EXPECT_EQ(plan.width, 20);
    // Destination column 0 shows mirrored column 10, that is picture column 19.
    EXPECT_EQ(RowPixel(p.Rows(), plan.srcX, 0), Packed(img.View(), 19, 0));

    // The same through the scaler (2x), whose output is already clipped.
    r.destWidth = -60;
    r.destX = -10;
    PreparedSource q;
    ASSERT_TRUE(PrepareSoftwareSource(img.View(), r, false, q));
    EXPECT_EQ(q.destX, 0);
    EXPECT_EQ(q.destWidth, 50);
    EXPECT_EQ(RowPixel(q.Rows(), 0, 0), Packed(img.View(), 29 - 5, 0));
    EXPECT_EQ(RowPixel(q.Rows(), 3, 4), Packed(img.View(), 29 - 6, 4));
}

TEST(SoftwareRoad, LightChangeOnAnUnchangedSourceCopiesTheRectangle) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(8, 8));
    test::FillRandomPremultiplied(img.View(), 11);
    RenderRequest r;
    r.SrcX = 2, r.SrcY = 3, r.srcWidth = 4, r.srcHeight = 2;
    r.destWidth = 4, r.destHeight = 2;
    r.LightAdjustment = -100;
    PreparedSource p;
    ASSERT_TRUE(PrepareSoftwareSource(img.View(), r, true, p));
    ASSERT_EQ(p.Rows().Width(), 4);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(RowPixel(p.Rows(), x, y), Packed(img.View(), x + 2, y + 3) & 0xFF000000u);
    // Nothing to change: the image's own pixels are blended.
    r.LightAdjustment = 0;
    PreparedSource q;
    ASSERT_TRUE(PrepareSoftwareSource(img.View(), r, true, q));
    EXPECT_TRUE(q.buffer.empty());
    EXPECT_EQ(q.Rows().Row(3), PixelAt(img.View(), 0, 3));
    EXPECT_EQ(q.srcX, 2);
    EXPECT_EQ(q.srcY, 3);
}

} // namespace
} // namespace moirelle

namespace moirelle {
namespace {

// The vectorised scaler loops against the plain ones: every byte value in every
// channel, weights from many positions, and row lengths that leave loop tails.
TEST(ScaleKernels, VectorisedLoopsGiveThePlainLoopsBytes) {
    std::vector<uint8_t> src(256 * 4);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = static_cast<uint8_t>(i * 37 + i / 4);
    std::mt19937 rng(3);
    for (VectorLevel level : AvailableVectorLevels())
        for (size_t count : {1u, 3u, 4u, 17u, 255u}) {
            const ScopedVectorLevel atLevel(level);
            std::vector<int32_t> taps(2 * count);
            std::vector<double> weights(2 * count);
            for (size_t i = 0; i < count; ++i) {
                taps[2 * i] = static_cast<int32_t>(rng() % 255);
                taps[2 * i + 1] = taps[2 * i] + 1;
                const double f = (rng() % 100000) / 100000.0;
                weights[2 * i] = 1 - f;
                weights[2 * i + 1] = f;
            }
            std::vector<double> h(count * 4), hRef(count * 4);
            BilinearHorizontal(src.data(), taps.data(), weights.data(), count, h.data());
            BilinearHorizontalScalar(src.data(), taps.data(), weights.data(), count, hRef.data());
            ASSERT_EQ(h, hRef);
            std::vector<double> other(count * 4);
            for (size_t k = 0; k < other.size(); ++k)
                other[k] = hRef[(k * 7) % hRef.size()];
            std::vector<uint8_t> alone(count * 4), aloneRef(count * 4);
            BilinearTruncate(h.data(), alone.size(), alone.data());
            BilinearVerticalScalar(h.data(), other.data(), 1, 0, aloneRef.size(), aloneRef.data());
            ASSERT_EQ(alone, aloneRef) << count;
            for (double fy : {0.0, 0.25, 0.3, 0.999999, 1.0 / 3}) {
                std::vector<uint8_t> out(count * 4), ref(count * 4);
                BilinearVertical(h.data(), other.data(), fy, 1 - fy, out.size(), out.data());
                BilinearVerticalScalar(h.data(), other.data(), fy, 1 - fy, ref.size(), ref.data());
                ASSERT_EQ(out, ref) << count << " " << fy;
            }
        }
}

} // namespace
} // namespace moirelle

namespace moirelle {
namespace {

// The integer scaler, rows first, at every level against the rule's integer form taken
// columns first: A = a * kx0 + b * kx1 per row, (A0 * ky0 + A1 * ky1) >> 14, and a row
// alone read directly. Every row weight split, random column splits, a column alone at
// the end, row lengths that leave loop tails.
TEST(ScaleKernels, IntegerRowsFirstGiveTheColumnsFirstBytes) {
    constexpr size_t kWidth = 67; // source pixels
    std::vector<uint8_t> row0(kWidth * 4), row1(kWidth * 4);
    std::mt19937 rng(5);
    for (size_t k = 0; k < row0.size(); ++k) {
        row0[k] = static_cast<uint8_t>(rng());
        row1[k] = static_cast<uint8_t>(k % 7 == 0 ? 255 : rng());
    }
    for (VectorLevel level : AvailableVectorLevels())
        for (size_t count : {1u, 3u, 8u, 13u, 64u}) {
            const ScopedVectorLevel atLevel(level);
            std::vector<int32_t> columns(count);
            std::vector<uint32_t> pairs(count);
            for (size_t i = 0; i < count; ++i) {
                const bool alone = i + 1 == count;
                columns[i] = alone ? static_cast<int32_t>(kWidth - 1)
                                   : static_cast<int32_t>(rng() % (kWidth - 1));
                const uint32_t k1 = alone ? 0 : rng() % 128;
                pairs[i] = (128 - k1) | k1 << 16;
            }
            for (int32_t ky = 0; ky <= 128; ++ky) {
                std::vector<int16_t> B((kWidth + 1) * 4, 0);
                BilinearRows128(row0.data(), row1.data(), 128 - ky, ky, kWidth * 4, B.data());
                std::vector<uint8_t> out(count * 4);
                BilinearColumns128(B.data(), columns.data(), pairs.data(), count, out.data());
                if (ky == 0) { // row 0 alone, read directly (all but the last column's pixel)
                    std::vector<uint8_t> direct(count * 4);
                    BilinearColumnsOneRow128(row0.data(), columns.data(), pairs.data(), count - 1,
                                             direct.data());
                    std::copy(out.end() - 4, out.end(), direct.end() - 4);
                    ASSERT_EQ(direct, out) << VectorLevelName(level) << " " << count;
                }
                for (size_t i = 0; i < count; ++i) {
                    const size_t x = static_cast<size_t>(columns[i]) * 4;
                    const size_t next = std::min(x + 4, (kWidth - 1) * 4);
                    const int32_t kx0 = static_cast<int32_t>(pairs[i] & 0xFFFF);
                    const int32_t kx1 = static_cast<int32_t>(pairs[i] >> 16);
                    for (size_t c = 0; c < 4; ++c) {
                        const int32_t A0 = row0[x + c] * kx0 + row0[next + c] * kx1;
                        const int32_t A1 = row1[x + c] * kx0 + row1[next + c] * kx1;
                        ASSERT_EQ(out[4 * i + c], (A0 * (128 - ky) + A1 * ky) >> 14)
                            << VectorLevelName(level) << " " << count << " " << ky << " " << i;
                    }
                }
            }
        }
}

// Ratios whose weights are all multiples of 1/128 run in integers; the bytes must be
// those of the double-precision rule.
TEST(ScaleSource, IntegerWeightsGiveTheDoublePrecisionBytes) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(48, 36));
    test::FillRandomPremultiplied(img.View(), 23);
    const int32_t sizes[][2] = {{32, 24}, {96, 72}, {24, 18}, {192, 9}, {31, 24}};
    for (const auto& size : sizes) {
        PixelBuffer fast, plain;
        ScaleJob job;
        job.source = img.View();
        job.destWidth = size[0];
        job.destHeight = size[1];
        job.highQuality = true;
        ScaledRows rows;
        ASSERT_TRUE(rows.Start(job));
        EXPECT_EQ(rows.UsesIntegerWeights(), size[0] != 31);
        ScaleJob same = job;
        same.integerWeights = false;
        ASSERT_TRUE(ScaleSource(job, fast));
        ASSERT_TRUE(ScaleSource(same, plain));
        EXPECT_EQ(std::memcmp(fast.View().bits, plain.View().bits, fast.View().size()), 0)
            << size[0] << "x" << size[1];
    }
}

} // namespace
} // namespace moirelle
