// Drop shadow rows at widths around the vector loops' steps, and shadows made into a kept
// image. The program runs once per vector level (EveryVectorLevel.cpp).
#include "dib/DropShadow.h"
#include "dib/MemoryImage.h"
#include "dib/RenderKernels.h"
#include "dib/VectorLevel.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace moirelle {
namespace {

// The level's shadow against the portable one on random pictures: widths and heights
// around the vector steps, every box, colours of each kind the levels treat apart, the
// output at every start offset within 32 bytes, written through the caches and past them.
// Bytes around the output stay as they were.
TEST(DropShadowRows, LevelsGiveThePortableShadow) {
    uint32_t seed = 0;
    for (int32_t width : {1, 3, 7, 8, 9, 15, 16, 17, 31, 33, 70})
        for (int32_t height : {1, 2, 5, 23})
            for (int32_t n : {1, 3, 5, 13, 15, 17, 21}) {
                MemoryImage src;
                ASSERT_TRUE(src.InitializeDIB(width, height));
                test::FillRandomPremultiplied(src.View(), ++seed);
                const int32_t outWidth = width + n - 1, outHeight = height + n - 1;
                const size_t bytes = static_cast<size_t>(outWidth) * outHeight * 4;
                for (size_t offset = 0; offset < 32; offset += 4)
                    for (bool stream : {false, true}) {
                        std::vector<uint8_t> fast(bytes + 128, 0xA5), plain(fast.size(), 0xA5);
                        // The buffers' own alignment is not known: align the start first.
                        const size_t skew =
                            (32 - reinterpret_cast<uintptr_t>(fast.data()) % 32) % 32 + offset;
                        ShadowJob job;
                        job.source = src.View();
                        job.n = n;
                        // A colour by its factors, a grey, one with a byte of 255.
                        static const uint32_t colours[3][3] = {
                            {0x31, 0x7F, 0xE0}, {0x40, 0x40, 0x40}, {0xFF, 0x80, 0x5E}};
                        const uint32_t* colour = colours[offset / 4 % 3];
                        job.blue = colour[0], job.green = colour[1], job.red = colour[2];
                        job.stream = stream;
                        job.out = PixelView{fast.data() + skew, outWidth, outHeight};
                        ASSERT_TRUE(ActiveRenderKernels().dropShadow(job));
                        job.stream = false;
                        job.out = PixelView{plain.data() + skew, outWidth, outHeight};
                        ASSERT_TRUE(PortableRenderKernels().dropShadow(job));
                        ASSERT_EQ(fast, plain) << width << "x" << height << " n " << n << " at "
                                               << offset << " " << stream;
                    }
            }
}

// Rows whose alpha sums pass 2^16 (the running sums of the faster levels wrap), at the
// largest box that keeps 16-bit box sums and the smallest that does not.
TEST(DropShadowRows, WideOpaqueRowsGiveThePortableShadow) {
    MemoryImage src;
    ASSERT_TRUE(src.InitializeDIB(1031, 40));
    test::FillRandomPremultiplied(src.View(), 77);
    for (int32_t y = 10; y < 30; ++y) // a run of opaque rows: box sums up to 255 * n^2
        std::memset(src.View().row(y), 0xFF, src.View().stride());
    for (int32_t n : {15, 17}) {
        MemoryImage fast, plain;
        ASSERT_TRUE(MakeDropShadow(src.View(), n / 2, 0x6040A0, fast));
        {
            ScopedVectorLevel portable(VectorLevel::Portable);
            ASSERT_TRUE(MakeDropShadow(src.View(), n / 2, 0x6040A0, plain));
        }
        ASSERT_EQ(0, std::memcmp(fast.BitsPointer(), plain.BitsPointer(), plain.View().size()))
            << n;
        EXPECT_EQ(plain.PixelAt(500, 28) >> 24, 255u) << n; // a box inside the opaque run
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
        shadow.SetAlphaFlag(false);
        ASSERT_TRUE(MakeDropShadow(img.View(), r / 2, 0x000000FF, shadow));
        ASSERT_EQ(shadow.Width(), 21 + r);
        ASSERT_EQ(shadow.Height(), 6 + r);
        EXPECT_TRUE(shadow.Alpha());
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

// A target that records what it is asked: with `refuse`, it cannot make the image; else
// it makes one whose alpha flag stays false until it is set.
class RecordingTarget final : public IImageTarget {
  public:
    explicit RecordingTarget(bool refuse) : refuse_(refuse) {}
    bool InitializeDIB(int32_t width, int32_t height) override {
        asked = {width, height};
        if (refuse_) return false;
        pixels_.assign(static_cast<size_t>(width) * height * 4, 0);
        width_ = width, height_ = height;
        return true;
    }
    void DestroyDIB() override { pixels_.clear(), width_ = height_ = 0; }
    uint8_t* BitsPointer() const override { return const_cast<uint8_t*>(pixels_.data()); }
    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    void SetAlphaFlag(bool value) override { alpha = value; }
    void SetImageType(int32_t value) override { type = value; }
    std::unique_ptr<IImageTarget> NewSameKind() const override { return nullptr; }
    bool TakePixels(IImageTarget&) override { return false; }
    std::pair<int32_t, int32_t> asked{0, 0};
    bool alpha = false;
    int32_t type = imgNone;

  private:
    bool refuse_;
    std::vector<uint8_t> pixels_;
    int32_t width_ = 0, height_ = 0;
};

TEST(DropShadowRows, ShadowGetsTheAlphaFlagAndType) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(5, 3));
    test::FillRandomPremultiplied(img.View(), 9);
    RecordingTarget shadow(false);
    ASSERT_TRUE(MakeDropShadow(img.View(), 1, 0x404040, shadow));
    EXPECT_EQ(shadow.asked, (std::pair{7, 5}));
    EXPECT_TRUE(shadow.alpha);
    EXPECT_EQ(shadow.type, imgAlphaPremultiplied);
}

// The shadow's size is asked for up to the largest that a 32-bit side holds; a source one
// pixel larger is refused before (its shadow's side would not fit).
TEST(DropShadowRows, ShadowSizeUpToTheLargestSide) {
    uint8_t pixel[4] = {};
    const int32_t r = 4; // depth 2
    for (bool tall : {false, true})
        for (int32_t extra : {0, 1}) {
            const int32_t side = INT32_MAX - r + extra;
            const PixelView source{pixel, tall ? 1 : side, tall ? side : 1};
            RecordingTarget target(true);
            EXPECT_FALSE(MakeDropShadow(source, 2, 0, target));
            const std::pair<int32_t, int32_t> expected = extra  ? std::pair{0, 0}
                                                         : tall ? std::pair{1 + r, INT32_MAX}
                                                                : std::pair{INT32_MAX, 1 + r};
            EXPECT_EQ(target.asked, expected) << tall << " " << extra;
        }
}

} // namespace
} // namespace moirelle
