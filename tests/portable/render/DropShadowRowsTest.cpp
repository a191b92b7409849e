// Drop shadow rows at widths around the vector loops' steps, and shadows made into a kept
// image. The program runs once per vector level (EveryVectorLevel.cpp).
#include "dib/DropShadow.h"
#include "dib/MemoryImage.h"
#include "dib/RenderKernels.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

namespace moirelle {
namespace {

// The level's row against the portable row, column sums updated from an added and a
// removed source row (either may be absent), the output at every start offset within
// 32 bytes, written through the caches and past them.
TEST(DropShadowRows, UpdateSumsAndGiveThePortableRows) {
    std::mt19937 random(11);
    std::array<uint32_t, 256> pixelFor{};
    for (uint32_t a = 1; a < 256; ++a)
        pixelFor[a] = (a * 0x31 / 255) | (a * 0x7F / 255) << 8 | (a * 0xE0 / 255) << 16 | a << 24;
    for (int32_t width : {1, 3, 7, 8, 9, 15, 16, 17, 33, 70})
        for (int32_t n : {1, 3, 9, 21})
            for (int rows = 0; rows < 4; ++rows)
                for (size_t offset = 0; offset < 32; offset += 4)
                    for (bool stream : {false, true}) {
                        std::vector<uint8_t> added(static_cast<size_t>(width) * 4),
                            removed(added.size());
                        for (uint8_t& b : added)
                            b = static_cast<uint8_t>(random());
                        for (uint8_t& b : removed)
                            b = static_cast<uint8_t>(random());
                        // Sums of n - 1 rows and the removed row, if any: at most 255 * n
                        // once the added row is in.
                        std::vector<uint32_t> sums(static_cast<size_t>(width));
                        for (int32_t x = 0; x < width; ++x)
                            sums[x] = static_cast<uint32_t>(random() % 256) *
                                          static_cast<uint32_t>(n - 1) +
                                      (rows & 2 ? removed[x * 4 + 3] : 0u);
                        std::vector<uint32_t> plainSums = sums;
                        const int32_t outWidth = width + n - 1;
                        std::vector<uint32_t> scratch(static_cast<size_t>(outWidth + n));
                        std::vector<uint8_t> fast(static_cast<size_t>(outWidth) * 4 + 64, 0xA5),
                            plain(fast.size(), 0xA5);
                        ShadowRowJob job;
                        job.added = rows & 1 ? added.data() : nullptr;
                        job.removed = rows & 2 ? removed.data() : nullptr;
                        job.width = width;
                        job.outWidth = outWidth;
                        job.n = n;
                        job.blue = 0x31, job.green = 0x7F, job.red = 0xE0;
                        job.pixelFor = pixelFor.data();
                        job.scratch = scratch.data();
                        // The buffers' own alignment is not known: align the start first.
                        const size_t skew =
                            (32 - reinterpret_cast<uintptr_t>(fast.data()) % 32) % 32 + offset;
                        job.columnSums = sums.data();
                        job.out = fast.data() + skew;
                        job.stream = stream;
                        ActiveRenderKernels().shadowRow(job);
                        job.columnSums = plainSums.data();
                        job.out = plain.data() + skew;
                        job.stream = false;
                        PortableRenderKernels().shadowRow(job);
                        ASSERT_EQ(sums, plainSums) << width << " " << n << " " << rows;
                        ASSERT_EQ(fast, plain)
                            << width << " " << n << " " << rows << " " << offset << " " << stream;
                    }
}

// A kept image, full of other bytes, of the shadow's size (reused), or smaller or larger
// (replaced): every pixel of the shadow is made.
TEST(DropShadowRows, KeptImageIsOverwrittenOrReplaced) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(21, 6));
    test::FillRandomPremultiplied(img.View(), 3);
    const int32_t r = 4;
    for (int32_t extra : {0, -3, 5}) {
        MemoryImage shadow;
        ASSERT_TRUE(shadow.InitializeDIB(21 + r + extra, 6 + r));
        std::memset(shadow.BitsPointer(), 0xA5, shadow.View().size());
        shadow.SetImageType(imgNone);
        ASSERT_TRUE(MakeDropShadow(img.View(), r / 2, 0x000000FF, shadow));
        ASSERT_EQ(shadow.Width(), 21 + r);
        ASSERT_EQ(shadow.Height(), 6 + r);
        EXPECT_EQ(shadow.ImageType(), imgAlphaPremultiplied);
        for (int32_t y = 0; y < shadow.Height(); ++y)
            for (int32_t x = 0; x < shadow.Width(); ++x) {
                uint32_t sum = 0;
                for (int32_t yy = std::max(0, y - r); yy <= std::min(y, img.Height() - 1); ++yy)
                    for (int32_t xx = std::max(0, x - r); xx <= std::min(x, img.Width() - 1); ++xx)
                        sum += test::PixelAt(img.View(), xx, yy)[3];
                const uint32_t a = sum / ((r + 1) * (r + 1));
                const uint8_t* p = test::PixelAt(shadow.View(), x, y);
                ASSERT_EQ(p[3], a) << extra << " at " << x << "," << y;
                ASSERT_EQ(p[2], a); // red 255: a * 255 / 255
                ASSERT_EQ(p[1] | p[0], 0) << extra << " at " << x << "," << y;
            }
    }
}

} // namespace
} // namespace moirelle
