// The drop shadow when memory for its working rows runs out, at every vector level: a
// clean failure, and the shadow image freed rather than left holding other bytes.
#include "dib/DropShadow.h"
#include "dib/ImageType.h"
#include "dib/MemoryImage.h"
#include "tests/portable/render/RenderTestImages.h"
#include "tests/support/FailingNew.h"
#include "tests/support/WrappedImage.h"

#include <gtest/gtest.h>

namespace moirelle {
namespace {

// A shadow image in memory whose next allocation after its own pixels fails.
class StarvedShadow final : public test::WrappedImage {
  public:
    bool InitializeDIB(int32_t width, int32_t height) override {
        return Starve(image.InitializeDIB(width, height));
    }
    bool InitializeDIBForOverwrite(int32_t width, int32_t height) override {
        return Starve(image.InitializeDIBForOverwrite(width, height));
    }

    bool starve = true;

  private:
    bool Starve(bool made) {
        if (made && starve) test::FailNewAfter(0);
        return made;
    }
};

// A new shadow image and one kept from an earlier shadow of the same size (its pixels
// reused), at a box of 16-bit and of 32-bit sums.
TEST(DropShadowOutOfMemory, ShadowIsFreedWhenItsRowsCannotBeHad) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(37, 5));
    test::FillRandomPremultiplied(img.View(), 11);
    for (int32_t depth : {3, 9})
        for (bool kept : {false, true}) {
            StarvedShadow shadow;
            if (kept) {
                shadow.starve = false;
                ASSERT_TRUE(MakeDropShadow(img.View(), depth, 0x404040, shadow));
                shadow.starve = true;
            }
            EXPECT_FALSE(MakeDropShadow(img.View(), depth, 0x404040, shadow)) << depth;
            EXPECT_TRUE(test::NewFailureCame()) << depth; // the rows were asked for
            test::FailNewAfter(-1);
            EXPECT_EQ(shadow.BitsPointer(), nullptr) << depth << " " << kept;
            EXPECT_EQ(shadow.Width(), 0);
            EXPECT_EQ(shadow.Height(), 0);
            EXPECT_FALSE(shadow.image.Alpha());
            EXPECT_EQ(shadow.image.ImageType(), imgNone);
        }
}

} // namespace
} // namespace moirelle
