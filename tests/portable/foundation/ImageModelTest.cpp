#include "dib/DibGeometry.h"
#include "dib/ImageType.h"
#include "dib/MemoryImage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace moirelle {
namespace {

TEST(DibGeometry, NormalisesHeightAndRefusesBadSizes) {
    int32_t h = 0, bytes = 0;
    ASSERT_TRUE(NormaliseDibSize(10, -5, h, bytes));
    EXPECT_EQ(h, 5);
    EXPECT_EQ(bytes, 200);
    EXPECT_FALSE(NormaliseDibSize(-1, 5, h, bytes));
    EXPECT_FALSE(NormaliseDibSize(5, 0, h, bytes));
    // 2^31 bytes overflows; one row less fits.
    EXPECT_FALSE(NormaliseDibSize(32768, 16384, h, bytes));
    EXPECT_TRUE(NormaliseDibSize(32768, 16383, h, bytes));
    EXPECT_EQ(bytes, 32768 * 16383 * 4);
    // |INT32_MIN| does not fit and must not overflow on the way.
    EXPECT_FALSE(NormaliseDibSize(1, INT32_MIN, h, bytes));
    EXPECT_FALSE(NormaliseDibSize(INT32_MAX, INT32_MAX, h, bytes));
}

TEST(MemoryImage, FollowsTheImageObjectsLifecycle) {
    MemoryImage img;
    EXPECT_EQ(img.ImageType(), imgBlank);
    EXPECT_FALSE(img.Alpha());

    ASSERT_TRUE(img.InitializeDIB(10, -5));
    EXPECT_EQ(img.Width(), 10);
    EXPECT_EQ(img.Height(), 5);
    EXPECT_EQ(img.scanWidth(), 40);
    EXPECT_TRUE(img.Alpha());
    EXPECT_EQ(img.ImageType(), imgBlank);
    const uint8_t* p = img.BitsPointer();
    EXPECT_TRUE(std::all_of(p, p + 200, [](uint8_t b) { return b == 0; }));

    img.DestroyDIB();
    EXPECT_EQ(img.ImageType(), imgNone);
    EXPECT_EQ(img.BitsPointer(), nullptr);
    EXPECT_FALSE(img.Alpha());

    EXPECT_TRUE(img.InitializeDIB(7, 1));
    EXPECT_EQ(img.scanWidth(), 28);
    EXPECT_FALSE(img.InitializeDIB(-1, 5));
    EXPECT_EQ(img.Width(), 0) << "a failed initialisation leaves the image empty";
    EXPECT_EQ(img.ImageType(), imgNone);
    EXPECT_FALSE(img.InitializeDIB(5, 0));
}

TEST(MemoryImage, PixelAtUsesPictureCoordinatesOverBottomUpRows) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(2, 2));
    uint8_t* p = img.BitsPointer();
    // Storage row 0 is the bottom picture row.
    p[0] = 1, p[1] = 2, p[2] = 3, p[3] = 4;
    EXPECT_EQ(img.PixelAt(0, 1), 0x04030201u);
    EXPECT_EQ(img.PixelAt(0, 0), 0u);
}

TEST(ImageType, NamesEveryCode) {
    EXPECT_STREQ(ImageTypeName(imgPNG), "PNG");
    EXPECT_STREQ(ImageTypeName(imgNone), "none");
    EXPECT_STREQ(ImageTypeName(imgCheckerBoard), "checkerboard");
    EXPECT_STREQ(ImageTypeName(13), "unknown");
}

} // namespace
} // namespace moirelle
