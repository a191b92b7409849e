// Drawing a windowless control's area at once (DrawNow) and an Image's bitmap drawn at its
// own size.

#include "Canvas.h"
#include "Pump.h"
#include "formats/win/modParsersWin.h"
#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace moirelle;
using namespace moirelle::forms;
using test::Canvas;
using test::PumpFor;

namespace {

// A windowless control that fills its rectangle with one colour.
class Swatch : public Control {
  public:
    using Control::Control;
    std::string_view TypeName() const override { return "Swatch"; }
    void Paint(HDC dc) override {
        const RECT r = PixelRect();
        win::UniqueBrush brush(CreateSolidBrush(colour));
        const RECT all{0, 0, r.right - r.left, r.bottom - r.top};
        FillRect(dc, &all, brush.get());
    }
    COLORREF colour = RGB(255, 0, 0);
};

class SwatchForm : public Form {
  public:
    SwatchForm()
        : Form({.caption = "swatches",
                .left = 1500,
                .top = 1500,
                .width = 4500,
                .height = 1500,
                .borderStyle = 0,
                .backColor = 0x404040}) {}
    // A wide swatch with a small one over its middle, and one beside them.
    Swatch Under{*this, {0, 0, 2400, 300}};
    Swatch Over{*this, {900, 0, 300, 300}};
    Swatch Beside{*this, {3000, 0, 600, 300}};
};

POINT Middle(const Control& c) {
    const RECT r = c.PixelRect();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

COLORREF WindowPixel(HWND w, POINT p) {
    win::WindowDC dc(w);
    return GetPixel(dc.get(), p.x, p.y);
}

// A picture of a top-down 32-bit bitmap of `w` x `h` pixels (0x00RRGGBB, rows from the top).
Picture BitmapPicture(int w, const std::vector<uint32_t>& pixels) {
    const int h = static_cast<int>(pixels.size()) / w;
    uint32_t* bits = nullptr;
    win::UniqueBitmap bitmap = CreateDibSection32(w, h, &bits);
    EXPECT_TRUE(bitmap);
    if (!bitmap) return {};
    std::copy(pixels.begin(), pixels.end(), bits);
    return Picture(modParsers::PictureFromHandle(bitmap.release(), modParsers::pictureBitmap));
}

} // namespace

TEST(DrawNow, DrawsTheAreaAtOnceWithWhatLiesOverItAndNothingBeyond) {
    SwatchForm f;
    f.Show();
    PumpFor(300);
    const HWND w = f.hWnd();
    ASSERT_EQ(WindowPixel(w, Middle(f.Under)), RGB(255, 0, 0));

    // No message is handled from here on: what shows was drawn by DrawNow itself.
    f.Beside.colour = RGB(0, 0, 255);
    f.Beside.DrawNow();
    EXPECT_EQ(WindowPixel(w, Middle(f.Beside)), RGB(0, 0, 255));

    f.Under.colour = RGB(0, 160, 0);
    f.Over.colour = RGB(250, 250, 0);
    f.Beside.colour = RGB(90, 0, 90);
    f.Under.DrawNow(); // wider than the draw before: its back buffer grows
    const RECT under = f.Under.PixelRect();
    EXPECT_EQ(WindowPixel(w, {under.left + 1, under.top + 1}), RGB(0, 160, 0));
    EXPECT_EQ(WindowPixel(w, {under.right - 2, under.bottom - 2}), RGB(0, 160, 0));
    EXPECT_EQ(WindowPixel(w, Middle(f.Over)), RGB(250, 250, 0)) << "what lies over it";
    const RECT over = f.Over.PixelRect();
    EXPECT_EQ(WindowPixel(w, {over.left - 1, over.top}), RGB(0, 160, 0)) << "in place";
    EXPECT_EQ(WindowPixel(w, {over.left, over.top}), RGB(250, 250, 0));
    EXPECT_EQ(WindowPixel(w, {over.right - 1, over.top}), RGB(250, 250, 0));
    EXPECT_EQ(WindowPixel(w, {over.right, over.top}), RGB(0, 160, 0));
    EXPECT_EQ(WindowPixel(w, Middle(f.Beside)), RGB(0, 0, 255)) << "beside it, nothing changes";
    EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE)) << "nothing is left to paint";
}

TEST(ImagePaint, ABitmapAtItsOwnSizeIsCopiedExactlyOthersAreStretchedOrMasked) {
    SwatchForm f;
    f.Under.Visible(false);
    f.Over.Visible(false);
    f.Beside.Visible(false);
    Image image{f, {0, 0, 1500, 300}};
    f.Load();

    // Drawn at its own size, every pixel as it is.
    const std::vector<uint32_t> pixels{0x0A141E, 0xC86432, 0x00FF80, 0x010203, 0xFFFFFF, 0x7F8081};
    image.Picture(BitmapPicture(3, pixels));
    Canvas own(f, 10, 4);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(own.At(x, y), pixels[y * 3 + x]) << x << "," << y;
    EXPECT_EQ(own.At(3, 0), 0x404040u) << "the image takes the picture's size";

    // The copy leaves the bitmap free for another device context.
    {
        win::UniqueMemoryDC other(CreateCompatibleDC(nullptr));
        const auto bitmap =
            reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(image.Picture().Handle()));
        win::ScopedSelect select(other.get(), bitmap);
        EXPECT_EQ(GetCurrentObject(other.get(), OBJ_BITMAP), bitmap);
    }

    // Stretched to another height (its own width), each row doubled, it fills its rectangle
    // and no more.
    image.Stretch(true);
    image.Move(0, 150, 45, 60); // 3 x 4 pixels from (0, 10) at 96 dpi
    const RECT r = image.PixelRect();
    const int rw = r.right - r.left;
    std::vector<uint32_t> rows(rw, 0x2060A0);
    rows.resize(2 * rw, 0xA06020);
    image.Picture(BitmapPicture(rw, rows));
    Canvas stretched(f, 10, 20);
    EXPECT_EQ(stretched.At(r.left, r.top), 0x2060A0u);
    EXPECT_EQ(stretched.At(r.right - 1, r.bottom - 1), 0xA06020u);
    EXPECT_EQ(stretched.At(r.left, r.bottom), 0x404040u);
    EXPECT_EQ(stretched.At(r.left, r.top - 1), 0x404040u);
    image.Move(0, 0, 45, 30);

    // A GIF of a red pixel and a transparent one: the background shows through.
    const std::vector<uint8_t> gif{
        'G',  'I',  'F',  '8',  '9', 'a', 2, 0, 1, 0, 0x81, 0, 0, // screen, 4 colours
        255,  0,    0,    0,    255, 0,   0, 0, 0, 0, 0,    0,    // red, green, black, black
        0x21, 0xF9, 4,    1,    0,   0,   1, 0,                   // index 1 transparent
        0x2C, 0,    0,    0,    0,   2,   0, 1, 0, 0,             // the image, 2 x 1
        2,    2,    0x44, 0x0A, 0,                                // clear, 0, 1, end
        0x3B};
    auto masked = LoadPictureFromBytes(gif);
    ASSERT_TRUE(masked);
    image.Stretch(false);
    image.Picture(*masked);
    Canvas transparent(f, 10, 4);
    EXPECT_EQ(transparent.At(0, 0), 0xFF0000u);
    EXPECT_EQ(transparent.At(1, 0), 0x404040u) << "the transparent pixel";
}
