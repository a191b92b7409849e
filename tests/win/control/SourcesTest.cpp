// Where the image control's picture comes from: files with the desired-size defaults, the
// kept source bytes, raw pixels; design time's checkerboard; the back buffer.

#include "ControlTestSupport.h"
#include "forms/DibSection.h"
#include "platform/win/Text.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <olectl.h>

#include <string>

using namespace moirelle;
using namespace moirelle::control;
using forms::Hosted;
using forms::PropertyBag;

namespace {

class Small : public test::HostForm {
  public:
    explicit Small(bool userMode = true) : HostForm(200, 200, userMode) {}
    Hosted<aicAlphaImage> img{*this, {0, 0, 48 * 15, 32 * 15}, PropertyBag{}};
};

std::wstring WritePicture(const std::string& name, const std::vector<uint8_t>& bytes) {
    static const std::string folder = test::MakeTempDir("control");
    const std::string path = test::JoinPath(folder, name);
    EXPECT_TRUE(test::WriteFile(path, std::string(bytes.begin(), bytes.end())));
    return win::Widen(path);
}

} // namespace

TEST(ControlSources, FileLoadsWriteTheDefaultSizeBackAndKeepTheBytesWhenAsked) {
    Small f;
    f.Load();
    const std::wstring path = WritePicture("quad.png", test::Solid(20, 10, 0xFF00FF00));
    int32_t w = 0, h = -3, depth = 0;
    ASSERT_TRUE(f.img.LoadImage_FromFile(path, w, h, depth));
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 32);
    EXPECT_EQ(depth, 32);
    EXPECT_FALSE(f.img.LoadImage_FromOrignalBytes()) << "nothing kept without the flag";

    f.img.KeepOriginalFormat(true);
    f.img.Mirror(1);
    ASSERT_TRUE(f.img.LoadImage_FromFile(path));
    EXPECT_EQ(f.img.ImageType(), imgPNG) << "the kept format's own type";
    ASSERT_TRUE(f.img.LoadImage_FromOrignalBytes());
    EXPECT_EQ(f.img.Image().Width(), 20);

    const auto before = f.img.CurrentLayout();
    EXPECT_FALSE(f.img.LoadImage_FromFile(path + L".missing"));
    EXPECT_EQ(f.img.CurrentLayout().DrawWidth, before.DrawWidth) << "no new layout";
}

TEST(ControlSources, RawPixelsReplaceTheImageInPlaceOnlyWhenThereIsOne) {
    Small f;
    f.Load();
    f.img.ClearImage();
    ASSERT_EQ(f.img.Image().ImageType(), imgNone);
    const std::vector<uint8_t> blue(4 * 2 * 4, 0);
    EXPECT_FALSE(f.img.SetImageBytes(blue));

    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(4, 2, 0xFFFF0000)));
    std::vector<uint8_t> bgra;
    for (int i = 0; i < 8; ++i)
        bgra.insert(bgra.end(), {0xFF, 0, 0, 0xFF}); // opaque blue, top row first
    f.img.Mirror(1);                                 // not applied to raw pixels
    ASSERT_TRUE(f.img.SetImageBytes(bgra));
    EXPECT_EQ(f.img.Image().GetPixel(0, 0), 0xFF0000) << "blue, red in the low byte";
}

TEST(ControlSources, DesignTimeShowsACheckerboardThatTakesNoMask) {
    Small f(false);
    f.Load();
    EXPECT_EQ(f.img.Image().ImageType(), imgCheckerBoard);
    EXPECT_EQ(f.img.Image().Width(), 48);
    EXPECT_EQ(f.img.ImageType(), 0);
    f.img.MaskUsed(2);
    EXPECT_EQ(f.img.MaskUsed(), 0);
}

TEST(ControlSources, TheBackBufferPaintsTheSameImageAndTheShadowOfItsTurnedImage) {
    test::HostForm f;
    Hosted<aicAlphaImage> cached{f, {0, 0, 4500, 4500}, PropertyBag{}};
    f.Load();
    cached.ScaleMethod(ActualSize);
    ASSERT_TRUE(cached.LoadImage_FromArray(test::Solid(100, 50, 0xFFFF0000)));
    cached.AutoRedraw(true);
    cached.RotateEnabled(true);
    cached.Rotation(90); // the image covers (125, 100)-(175, 200)
    EXPECT_TRUE(cached.HasBackBuffer());
    cached.ShadowColor(0);
    cached.ShadowDepth(0);
    cached.OffsetShadow(0, 60); // below the turned image: (125, 160)-(175, 260)
    cached.ShadowEnabled(true);
    test::Painted p(f);
    EXPECT_EQ(p.At(150, 110), 0xFF0000u);
    EXPECT_EQ(p.At(110, 150), 0xFFFFFFu);
    EXPECT_LT(p.Red(150, 240), 0xF0) << "the shadow lies under the turned image, moved down";
    EXPECT_EQ(p.At(110, 240), 0xFFFFFFu);
}

namespace {

// A 4 x 2 bitmap, left half red, right half blue, as a GDI handle the caller owns.
win::UniqueBitmap RedBlueBitmap() {
    uint32_t* bits = nullptr;
    win::UniqueBitmap bitmap = forms::CreateDibSection32(4, 2, &bits);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            bits[y * 4 + x] = x < 2 ? 0x00FF0000u : 0x000000FFu;
    GdiFlush();
    return bitmap;
}

} // namespace

TEST(ControlSources, EverySourceLoadsThroughTheStepAfterALoad) {
    Small f;
    f.Load();
    f.img.Mirror(1); // re-applied to every new image: red ends on the right
    f.img.KeepOriginalFormat(true);
    const win::UniqueBitmap bitmap = RedBlueBitmap();
    const auto expectLoaded = [&](bool loaded, const char* what) {
        ASSERT_TRUE(loaded) << what;
        EXPECT_EQ(f.img.Image().Width(), 4) << what;
        EXPECT_EQ(f.img.Image().GetPixel(0, 0) & 0xFFFFFF, 0xFF0000) << what << ": blue, mirrored";
        EXPECT_EQ(f.img.Image().GetPixel(3, 1) & 0xFFFFFF, 0x0000FF) << what;
        EXPECT_EQ(f.img.CurrentLayout().DrawWidth, 48) << what << ": laid out";
        f.img.ClearImage();
    };
    expectLoaded(f.img.LoadImage_FromHandle(bitmap.get()), "handle");
    EXPECT_FALSE(f.img.LoadImage_FromHandle(nullptr));

    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap.get();
    IPicture* picture = nullptr;
    ASSERT_EQ(
        OleCreatePictureIndirect(&desc, IID_IPicture, FALSE, reinterpret_cast<void**>(&picture)),
        S_OK);
    expectLoaded(f.img.LoadImage_FromStdPicture(picture), "picture object");
    picture->Release();

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_BITMAP, CopyImage(bitmap.get(), IMAGE_BITMAP, 0, 0, 0));
    CloseClipboard();
    const bool fromClipboard = f.img.LoadImage_FromClipboard();
    ASSERT_TRUE(fromClipboard);
    // Kept as encoded bytes of the loaded pixels: they load again.
    expectLoaded(f.img.LoadImage_FromOrignalBytes(), "the clipboard's kept bytes");

    expectLoaded(f.img.LoadImage_FromResource(nullptr, std::wstring(L"PICTURE"), 201), "resource");
    EXPECT_FALSE(f.img.LoadImage_FromResource(nullptr, std::wstring(L"PICTURE"), 999));
}

TEST(ControlSources, ClearingAtDesignTimeShowsACheckerboardOfTheScaledSize) {
    Small f(false);
    f.Load();
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(20, 10, 0xFF00FF00)));
    // 20 x 10 fitted into 48 x 32: r = min(2.4, 3.2), 48 x 24.
    ASSERT_EQ(f.img.CurrentLayout().DrawHeight, 24);
    f.img.ClearImage();
    EXPECT_EQ(f.img.Image().ImageType(), imgCheckerBoard);
    EXPECT_EQ(f.img.Image().Width(), 48);
    EXPECT_EQ(f.img.Image().Height(), 24);
    EXPECT_EQ(f.img.ImageType(), 0);
}

TEST(ControlSources, TheDesiredIconSizeAndDepthDefaultToTheControlAnd32Bits) {
    // On the 48 x 32 control the defaults ask for 48 x 32 at 32 bits: the green entry. A
    // depth of 1 would pick the 4-bit (red) one, a height of 1 the half-height (blue) one.
    Small f;
    f.Load();
    const auto colourOf = [&] { return f.img.Image().GetPixel(10, 0) & 0xFFFFFF; };
    ASSERT_TRUE(f.img.LoadImage_FromResource(nullptr, std::wstring(L"PICTURE"), 202));
    EXPECT_EQ(colourOf(), 0x00FF00) << "resource";

    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(202), L"PICTURE");
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    const std::vector<uint8_t> icon(data, data + SizeofResource(nullptr, found));
    const std::wstring path = WritePicture("sizes.ico", icon);
    ASSERT_TRUE(f.img.LoadImage_FromFile(path));
    EXPECT_EQ(colourOf(), 0x00FF00) << "file";
    ASSERT_TRUE(f.img.LoadImage_FromArray(icon));
    EXPECT_EQ(colourOf(), 0x00FF00) << "array";

    // Asked for explicitly, they are taken as given and stay as given.
    int32_t w = 0, h = 0, depth = 1;
    ASSERT_TRUE(f.img.LoadImage_FromFile(path, w, h, depth));
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(colourOf(), 0x0000FF) << "the 4-bit entry, red";
    w = 48, h = 16, depth = 32;
    ASSERT_TRUE(f.img.LoadImage_FromResource(nullptr, std::wstring(L"PICTURE"), 202, w, h, depth));
    EXPECT_EQ(colourOf(), 0xFF0000) << "the half-height entry, blue";
}
