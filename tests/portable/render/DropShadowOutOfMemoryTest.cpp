// The drop shadow when memory for its working rows runs out, at every vector level: a
// clean failure, and the shadow image freed rather than left holding other bytes.
#include "dib/DropShadow.h"
#include "dib/ImageType.h"
#include "dib/MemoryImage.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
// Set right before the call under test; only that thread's next allocation through plain
// `new` fails.
thread_local bool failNextNew = false;
} // namespace

// None of these is inlined: the compiler would take malloc() and free() seen beside `new`
// and `delete` for a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
    if (failNextNew) {
        failNextNew = false;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace moirelle {
namespace {

// A shadow image in memory whose next allocation after its own pixels fails.
class StarvedShadow final : public IImageTarget {
  public:
    bool InitializeDIB(int32_t width, int32_t height) override {
        return Starve(image.InitializeDIB(width, height));
    }
    bool InitializeDIBForOverwrite(int32_t width, int32_t height) override {
        return Starve(image.InitializeDIBForOverwrite(width, height));
    }
    void DestroyDIB() override { image.DestroyDIB(); }
    uint8_t* BitsPointer() const override { return image.BitsPointer(); }
    int32_t Width() const override { return image.Width(); }
    int32_t Height() const override { return image.Height(); }
    void SetAlphaFlag(bool value) override { image.SetAlphaFlag(value); }
    void SetImageType(int32_t value) override { image.SetImageType(value); }
    std::unique_ptr<IImageTarget> NewSameKind() const override { return nullptr; }
    bool TakePixels(IImageTarget&) override { return false; }

    MemoryImage image;
    bool starve = true;

  private:
    bool Starve(bool made) {
        failNextNew = made && starve;
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
            EXPECT_FALSE(failNextNew) << depth; // the rows were asked for
            failNextNew = false;
            EXPECT_EQ(shadow.BitsPointer(), nullptr) << depth << " " << kept;
            EXPECT_EQ(shadow.Width(), 0);
            EXPECT_EQ(shadow.Height(), 0);
            EXPECT_FALSE(shadow.image.Alpha());
            EXPECT_EQ(shadow.image.ImageType(), imgNone);
        }
}

} // namespace
} // namespace moirelle
