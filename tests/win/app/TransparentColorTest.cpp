// The colour-key control on a form of the test's own: its stored properties, and the key it
// puts on the form about a millisecond after it is created there.

#include "app/TransparentColor.h"

#include "forms/Form.h"
#include "forms/UserControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace moirelle;
using moirelle::app::TransparentColor;

namespace {

void PumpFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    MSG msg;
    while (GetTickCount64() < end) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

forms::PropertyBag Stored(int32_t mask, int32_t back, bool enable) {
    forms::PropertyBag bag;
    bag.WriteProperty("MaskColor", mask);
    bag.WriteProperty("BackColor", back);
    bag.WriteProperty("Enable", enable);
    return bag;
}

class KeyedForm : public forms::Form {
  public:
    explicit KeyedForm(forms::PropertyBag bag, uint32_t back)
        : Form({.caption = "keyed",
                .width = 1500,
                .height = 1500,
                .borderStyle = 0,
                .backColor = back}),
          Key{*this, {0, 0, 495, 405}, std::move(bag)} {}
    forms::Hosted<TransparentColor> Key;
};

} // namespace

TEST(TransparentColorControl, KeysItsFormOnTheMaskColourAndTakesTheFormsBackground) {
    // Enable false does not keep the key off.
    KeyedForm form(Stored(0x123456, 0x00FF00, false), 0x0000C0);
    form.Load();
    EXPECT_EQ(form.Key.MaskColor(), 0x123456u);
    PumpFor(200);
    BYTE alpha = 0;
    COLORREF key = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(form.hWnd(), &key, &alpha, &flags));
    EXPECT_EQ(key, static_cast<COLORREF>(0x123456));
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));
    EXPECT_FALSE(form.Key.Enable());
    EXPECT_EQ(form.Key.BackColor(), 0x0000C0u);
    // Once only: a later mask colour does not reach the form.
    form.Key.MaskColor(0x654321);
    PumpFor(100);
    ASSERT_TRUE(GetLayeredWindowAttributes(form.hWnd(), &key, &alpha, &flags));
    EXPECT_EQ(key, static_cast<COLORREF>(0x123456));
}

// The control shows itself to the designer as a red tile saying "TC".
TEST(TransparentColorControl, PaintsARedTile) {
    KeyedForm form(Stored(0x123456, 0x00C000, true), 0x00C000);
    form.Show();
    SetWindowPos(form.hWnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(form.hWnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    PumpFor(300);
    POINT corner{0, 2};
    ClientToScreen(form.hWnd(), &corner);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, corner.x, corner.y);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(c, RGB(255, 0, 0)) << std::hex << c;
}

TEST(TransparentColorControl, StoresWhatDiffersFromTheDefaultsAndMarksItsChanges) {
    KeyedForm form(forms::PropertyBag{}, 0x0000C0);
    form.Load();
    EXPECT_EQ(form.Key.MaskColor(), 0u);
    EXPECT_EQ(form.Key.BackColor(), 0xFFFFFFu);
    EXPECT_EQ(form.Key.SaveProperties().Count(), 0u);
    form.Key.MaskColor(0x404040);
    form.Key.BackColor(0x404040);
    EXPECT_EQ(form.Key.ChangedProperties(), (std::vector<std::string>{"MaskColor", "BackColor"}));
    forms::PropertyBag saved = form.Key.SaveProperties();
    EXPECT_EQ(saved.Read<int32_t>("MaskColor", 0), 0x404040);
    EXPECT_EQ(saved.Read<int32_t>("BackColor", 0), 0x404040);
    EXPECT_FALSE(saved.Contains("Enable"));
}
