#include "dib/BlendPixels.h"
#include "dib/BlendToDestination.h"
#include "dib/PixelBuffer.h"
#include "dib/ScaleSource.h"
#include "dib/VectorLevel.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace moirelle {
namespace {

using modParsers::GrayscaleWeights;
using modParsers::GrayWeights;

struct Px {
    uint8_t b, g, r, a;
};

Px Blend32(Px s, Px d, uint32_t op, const GrayWeights* gray = nullptr) {
    uint8_t src[4] = {s.b, s.g, s.r, s.a};
    uint8_t dst[4] = {d.b, d.g, d.r, d.a};
    BlendRow32(src, dst, 1, op, gray);
    return {dst[0], dst[1], dst[2], dst[3]};
}

Px Blend24(Px s, Px d, uint32_t op, const GrayWeights* gray = nullptr) {
    uint8_t src[4] = {s.b, s.g, s.r, s.a};
    uint8_t dst[3] = {d.b, d.g, d.r};
    BlendRow24(src, dst, 1, op, gray);
    return {dst[0], dst[1], dst[2], 0};
}

#define EXPECT_PX(p, B, G, R, A)                                                                   \
    do {                                                                                           \
        const Px px_ = (p);                                                                        \
        EXPECT_EQ(px_.b, B);                                                                       \
        EXPECT_EQ(px_.g, G);                                                                       \
        EXPECT_EQ(px_.r, R);                                                                       \
        EXPECT_EQ(px_.a, A);                                                                       \
    } while (0)

TEST(BlendTable, OpaqueConstantAlpha) {
    // Opaque source replaces, transparent leaves.
    EXPECT_PX(Blend32({1, 2, 3, 255}, {90, 80, 70, 60}, 255), 1, 2, 3, 255);
    EXPECT_PX(Blend32({0, 0, 0, 0}, {90, 80, 70, 60}, 255), 90, 80, 70, 60);
    // Half-transparent blue over white: 255 * 127 / 255 + 128 = 255, green and red 127.
    EXPECT_PX(Blend24({128, 0, 0, 128}, {255, 255, 255, 0}, 255), 255, 127, 127, 0);
    // Host alpha: dA * (255 - a) / 255 + a = 100 * 127 / 255 + 128 = 49 + 128.
    EXPECT_PX(Blend32({128, 0, 0, 128}, {200, 100, 50, 100}, 255), 99 + 128, 49, 24, 177);
}

TEST(BlendTable, TranslucentConstantAlpha) {
    // op 127, a 255, blue 255 over blue 0: k = 255 - 127 = 128, (0 + 255 * 127) / 255 = 127.
    EXPECT_PX(Blend24({255, 0, 0, 255}, {0, 0, 0, 0}, 127), 127, 0, 0, 0);
    // a 100, op 200: a * op / 255 = 78, k = 177.
    // blue (50 * 177 + 40 * 200) / 255 = 66; alpha (80 * 177 + 100 * 200) / 255 = 133.
    EXPECT_PX(Blend32({40, 0, 100, 100}, {50, 255, 0, 80}, 200), 66, 177, 78, 133);
    // Transparent source pixels stay out even at a low constant alpha.
    EXPECT_PX(Blend32({0, 0, 0, 0}, {5, 6, 7, 8}, 2), 5, 6, 7, 8);
}

TEST(BlendTable, Grayscale) {
    const GrayWeights even = GrayscaleWeights(2);
    // Pure red of kind 2: 255 * 0.333 = 84.915, to the nearest integer 85.
    EXPECT_PX(Blend32({0, 0, 255, 255}, {1, 2, 3, 4}, 255, &even), 85, 85, 85, 255);
    EXPECT_PX(Blend24({0, 0, 255, 255}, {1, 2, 3, 0}, 255, &even), 85, 85, 85, 0);
    // Translucent at op 255: g = round(100 * 0.299 + ...) over the premultiplied bytes.
    const GrayWeights standard = GrayscaleWeights(0);
    const uint32_t g =
        static_cast<uint32_t>(std::nearbyint(10 * 0.114f + 20 * 0.587f + 100 * 0.299f));
    ASSERT_EQ(g, 43u);
    // d * (255 - 100) / 255 + g
    EXPECT_PX(Blend32({10, 20, 100, 100}, {200, 0, 100, 200}, 255, &standard), 121 + 43, 43,
              60 + 43, 121 + 100);
    // op 127: a * op / 255 = 49, k = 206; (d * 206 + 43 * 127) / 255.
    EXPECT_PX(Blend24({10, 20, 100, 100}, {200, 0, 100, 0}, 127, &standard),
              (200 * 206 + 43 * 127) / 255, (43 * 127) / 255, (100 * 206 + 43 * 127) / 255, 0);
}

// The vectorised rows must give the bytes of the one-pixel formulas for every source
// alpha and colour, every constant alpha and a spread of destination bytes.
TEST(BlendTable, RowsMatchThePixelFormulaExhaustively) {
    std::vector<uint8_t> src(256 * 256 * 4), dst(src.size()), ref(src.size());
    for (uint32_t op = 0; op < 256; ++op) {
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t s = 0; s < 256; ++s) {
                uint8_t* p = &src[(a * 256 + s) * 4];
                // Colours above alpha break the premultiplied rule but must not
                // make the fast path and the formula disagree either.
                p[0] = static_cast<uint8_t>(s);
                p[1] = static_cast<uint8_t>(s <= a ? a - s : s);
                p[2] = static_cast<uint8_t>(s * 3 + op);
                p[3] = static_cast<uint8_t>(a);
                uint8_t* d = &dst[(a * 256 + s) * 4];
                d[0] = static_cast<uint8_t>(s * 7 + op * 3);
                d[1] = static_cast<uint8_t>(a + s + op);
                d[2] = static_cast<uint8_t>(255 - s);
                d[3] = static_cast<uint8_t>(s ^ op);
            }
        std::copy(dst.begin(), dst.end(), ref.begin()); // same size: no reallocation
        for (size_t i = 0; i < src.size(); i += 4)
            BlendPixel(&src[i], &ref[i], 4, op, nullptr);
        BlendRow32(src.data(), dst.data(), 256 * 256, op, nullptr);
        ASSERT_EQ(dst, ref) << "op " << op;
    }
}

// Whole destination bytes 0..255 against every alpha for the constant alphas that the
// opacities 1..100 give.
TEST(BlendTable, RowsMatchThePixelFormulaForEveryDestinationByte) {
    std::vector<uint8_t> src(256 * 256 * 4), dst(src.size()), ref(src.size());
    for (int32_t opacity = 1; opacity <= 100; ++opacity) {
        const uint32_t op = static_cast<uint32_t>(opacity) * 255 / 100;
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t d = 0; d < 256; ++d) {
                uint8_t* p = &src[(a * 256 + d) * 4];
                p[0] = static_cast<uint8_t>(a);
                p[1] = static_cast<uint8_t>(a / 2);
                p[2] = static_cast<uint8_t>((a * d) / 255);
                p[3] = static_cast<uint8_t>(a);
                uint8_t* q = &dst[(a * 256 + d) * 4];
                q[0] = q[1] = q[2] = q[3] = static_cast<uint8_t>(d);
            }
        std::copy(dst.begin(), dst.end(), ref.begin()); // same size: no reallocation
        for (size_t i = 0; i < src.size(); i += 4)
            BlendPixel(&src[i], &ref[i], 4, op, nullptr);
        BlendRow32(src.data(), dst.data(), 256 * 256, op, nullptr);
        ASSERT_EQ(dst, ref) << "opacity " << opacity;
    }
}

// Transparent pixels with colour bytes, opaque and translucent ones side by side within
// every group of pixels the vectorised rows take at once (the tables above keep one
// alpha per group).
TEST(BlendTable, RowsMatchThePixelFormulaWithAlphasMixedInAGroup) {
    constexpr size_t kPixels = 4096 + 7; // and a group of four, and a tail
    std::vector<uint8_t> src(kPixels * 4), dst(src.size()), ref(src.size());
    for (uint32_t op : {255u, 254u, 200u, 127u, 1u}) {
        for (size_t i = 0; i < kPixels; ++i) {
            const uint32_t h = static_cast<uint32_t>(i) * 2654435761u + op;
            static constexpr int kAlphaKind[5] = {0, 255, 0, -1, 255}; // -1: any alpha
            const int kind = kAlphaKind[(i + i / 7) % 5];
            uint8_t* p = &src[i * 4];
            p[0] = static_cast<uint8_t>(h >> 8);
            p[1] = static_cast<uint8_t>(h >> 16);
            p[2] = static_cast<uint8_t>(h >> 24);
            p[3] = static_cast<uint8_t>(kind < 0 ? h >> 4 : kind);
            for (int c = 0; c < 4; ++c)
                dst[i * 4 + c] = static_cast<uint8_t>(h >> (3 * c + 1));
        }
        std::copy(dst.begin(), dst.end(), ref.begin());
        for (size_t i = 0; i < src.size(); i += 4)
            BlendPixel(&src[i], &ref[i], 4, op, nullptr);
        BlendRow32(src.data(), dst.data(), kPixels, op, nullptr);
        ASSERT_EQ(dst, ref) << "op " << op;
    }
}

TEST(BlendPlan, ClipsAtTheOriginAndAtTheHost) {
    PixelBuffer src;
    ASSERT_TRUE(src.Allocate(20, 10));
    BlendPlan plan;
    ASSERT_TRUE(PlanBlend(src.View(), 0, 0, -5, -3, 20, 10, 0, 0, plan));
    EXPECT_EQ(plan.srcX, 5);
    EXPECT_EQ(plan.srcY, 3);
    EXPECT_EQ(plan.dstX, 0);
    EXPECT_EQ(plan.dstY, 0);
    EXPECT_EQ(plan.width, 15);
    EXPECT_EQ(plan.height, 7);
    // A host of 12 x 8 caps the block, and never lets it write past the host's edge.
    ASSERT_TRUE(PlanBlend(src.View(), 0, 0, 4, 2, 20, 10, 12, 8, plan));
    EXPECT_EQ(plan.width, 8);
    EXPECT_EQ(plan.height, 6);
    EXPECT_FALSE(PlanBlend(src.View(), 0, 0, -20, 0, 20, 10, 0, 0, plan));
    EXPECT_FALSE(PlanBlend(src.View(), 0, 0, 12, 0, 20, 10, 12, 8, plan));
}

TEST(BlendOntoHost, PlacesRowsInPictureOrder) {
    PixelBuffer src, host;
    ASSERT_TRUE(src.Allocate(3, 2));
    ASSERT_TRUE(host.Allocate(5, 4));
    test::FillPositions(src.View());
    BlendPlan plan;
    ASSERT_TRUE(PlanBlend(src.View(), 1, 0, 2, 1, 2, 2, 5, 4, plan));
    BlendOntoHost(src.View(), plan, host.View(), 255, -1);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 5; ++x) {
            const bool inside = x >= 2 && x < 4 && y >= 1 && y < 3;
            const uint32_t want = inside ? test::Packed(src.View(), x - 1, y - 1) : 0;
            EXPECT_EQ(test::Packed(host.View(), x, y), want) << x << "," << y;
        }
}

// Nearest rows go onto the host without a row of them between: each host pixel is the
// source pixel at floor(i * sw / tw), floor(j * sh / th) (no position lands on a whole
// number but 0 here, so integer division is the floor) blended by the pixel formula.
TEST(BlendOntoHost, NearestRowsBlendTheirSourcePixels) {
    struct Case {
        int32_t sw, sh, tw, th, srcX, srcY, dstX, dstY, w, h, hostW, hostH;
        uint32_t op;
    };
    static const Case cases[] = {
        {13, 7, 37, 11, 3, 2, 2, 1, 30, 8, 40, 12, 255}, // enlarged, rows repeat
        {13, 7, 37, 11, 3, 2, 2, 1, 30, 8, 40, 12, 100},
        {13, 7, 11, 5, 0, 0, 5, 0, 11, 5, 16, 6, 255}, // reduced
        {13, 7, 11, 5, 1, 1, 0, 1, 10, 4, 16, 6, 37},
    };
    for (const Case& c : cases) {
        PixelBuffer src, host;
        ASSERT_TRUE(src.Allocate(c.sw, c.sh));
        ASSERT_TRUE(host.Allocate(c.hostW, c.hostH));
        for (size_t i = 0; i < src.View().size(); ++i) {
            const uint32_t h = static_cast<uint32_t>(i / 4) * 2654435761u;
            static constexpr uint8_t kAlpha[4] = {0, 255, 0, 128};
            src.View().bits[i] = static_cast<uint8_t>(i % 4 == 3 ? kAlpha[(h >> 8) % 4] ^ (h & 1)
                                                                 : h >> (8 * (i % 4)));
        }
        for (size_t i = 0; i < host.View().size(); ++i)
            host.View().bits[i] = static_cast<uint8_t>(i * 29 + 7);
        PixelBuffer want(host);
        ScaleJob job;
        job.source = src.View();
        ScaledRows rows;
        ASSERT_TRUE(rows.Start(job, c.tw, c.th));
        BlendPlan plan;
        ASSERT_TRUE(
            PlanBlend(rows, c.srcX, c.srcY, c.dstX, c.dstY, c.w, c.h, c.hostW, c.hostH, plan));
        BlendOntoHost(rows, plan, host.View(), c.op, -1);
        for (int32_t r = 0; r < c.h; ++r)
            for (int32_t x = 0; x < c.w; ++x) {
                const int32_t j = c.th - 1 - (c.srcY + r), i = c.srcX + x;
                const uint8_t* s = src.View().row(j * c.sh / c.th) + (i * c.sw / c.tw) * 4;
                uint8_t* d = want.View().row(c.hostH - 1 - (c.dstY + r)) + (c.dstX + x) * 4;
                BlendPixel(s, d, 4, c.op, nullptr);
            }
        ASSERT_EQ(std::vector<uint8_t>(host.View().bits, host.View().bits + host.View().size()),
                  std::vector<uint8_t>(want.View().bits, want.View().bits + want.View().size()))
            << c.tw << "x" << c.th << " op " << c.op;
    }
}

} // namespace
} // namespace moirelle
