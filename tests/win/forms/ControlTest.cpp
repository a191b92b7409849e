// Controls on forms driven by real window messages: check box, scroll bar, command buttons
// and the keyboard tab order, picture displays and labels (clicks with index, painting),
// the picture loader and popup menus.

#include "Canvas.h"
#include "Pump.h"
#include "formats/win/modParsersWin.h"
#include "forms/App.h"
#include "forms/CheckBox.h"
#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/HScrollBar.h"
#include "forms/Image.h"
#include "forms/Label.h"
#include "forms/Menu.h"
#include "forms/Picture.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace moirelle;
using namespace moirelle::forms;
using test::At;
using test::Canvas;
using test::PumpFor;
using test::PumpUntil;

namespace {

// A w x h 24-bit bitmap file of one colour (bytes blue, green, red).
std::string SolidBitmapFile(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    int stride = (w * 3 + 3) & ~3;
    std::string bytes(54 + static_cast<size_t>(stride) * h, '\0');
    auto put32 = [&bytes](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, static_cast<uint32_t>(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    bytes[26] = 1;
    bytes[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            size_t p = 54 + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
            bytes[p] = static_cast<char>(b);
            bytes[p + 1] = static_cast<char>(g);
            bytes[p + 2] = static_cast<char>(r);
        }
    return bytes;
}

std::string WriteTempFile(const std::string& name, const std::string& bytes) {
    std::string path = test::JoinPath(test::MakeTempDir("forms_controls"), name);
    EXPECT_TRUE(test::WriteFile(path, bytes));
    return path;
}

class ControlsForm : public Form {
  public:
    ControlsForm()
        : Form({.caption = "controls",
                .left = 1500,
                .top = 1500,
                .width = 6000,
                .height = 4500,
                .borderStyle = 0,
                .backColor = 0x404040}) {
        Command1.Caption("Make");
        Command2.Caption("Restore");
        HScroll1.Max(255);
        HScroll1.Value(100);
        Check2.Caption("Start with Windows");
        Label3.Caption("Apply");
        Label3.Index(0);
        Label3.BackStyle(vbTransparent);
        Label3.ForeColor(0xFFFFFF);
        Image4.Index(0);
        Image4.Stretch(true);
    }
    // Picture display first, label over it, then windowed controls.
    Image Image4{*this, {300, 300, 1500, 600}}; // (20, 20) 100 x 40 px
    Label Label3{*this, {600, 450, 600, 300}};  // (40, 30) 40 x 20 px
    HScrollBar HScroll1{*this, {300, 1500, 3000, 255}};
    CheckBox Check2{*this, {300, 1950, 2000, 255}};
    CommandButton Command1{*this, {300, 6000, 900, 300}}; // below the visible area
    CommandButton Command2{*this, {1300, 6000, 900, 300}};
};

} // namespace

TEST(CheckBoxes, ClickTogglesValueAndValueChangesRaiseClick) {
    ControlsForm f;
    f.Show();
    std::vector<int16_t> seen;
    f.Check2.Click = [&] { seen.push_back(f.Check2.Value()); };
    // The button itself handles the click and notifies its parent.
    SendMessageW(f.Check2.hWnd(), BM_CLICK, 0, 0);
    PumpFor(20);
    EXPECT_EQ(f.Check2.Value(), vbChecked);
    EXPECT_EQ(SendMessageW(f.Check2.hWnd(), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(f.Check2.hWnd(), BM_CLICK, 0, 0);
    PumpFor(20);
    EXPECT_EQ(f.Check2.Value(), vbUnchecked);
    f.Check2.Value(vbChecked);
    f.Check2.Value(vbChecked); // unchanged: no Click
    f.Check2.Value(7);         // out of range: ignored
    EXPECT_EQ(seen, (std::vector<int16_t>{1, 0, 1}));
    EXPECT_EQ(SendMessageW(f.Check2.hWnd(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST(ScrollBars, EveryChangeRaisesChangeWithinTheRange) {
    ControlsForm f;
    f.Show();
    std::vector<int16_t> seen;
    f.HScroll1.Change = [&] { seen.push_back(f.HScroll1.Value()); };
    HWND bar = f.HScroll1.hWnd();
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 100);
    SendMessageW(f.hWnd(), WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
    SendMessageW(f.hWnd(), WM_HSCROLL, SB_PAGELEFT, reinterpret_cast<LPARAM>(bar));
    SendMessageW(f.hWnd(), WM_HSCROLL, SB_PAGELEFT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(seen, (std::vector<int16_t>{101, 100, 99}));
    // Keyboard on the focused bar goes through the system's scroll bar.
    SetFocus(bar);
    PostMessageW(bar, WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageW(bar, WM_KEYUP, VK_RIGHT, 0xC0000000);
    PumpUntil([&] { return seen.size() >= 4; }, 1000);
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen[3], 100);
    seen.clear();
    f.HScroll1.Value(255);
    SendMessageW(f.hWnd(), WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
    f.HScroll1.Value(256); // beyond Max: ignored
    f.HScroll1.Value(-1);  // below Min: ignored
    EXPECT_EQ(seen, (std::vector<int16_t>{255}));
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 255);
}

TEST(ScrollBars, ReversedRangeRunsFromMinToMax) {
    ControlsForm f;
    f.HScroll1.Min(10);
    f.HScroll1.Max(0);
    f.HScroll1.Value(10);
    f.Load();
    HWND bar = f.HScroll1.hWnd();
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 0);
    SendMessageW(f.hWnd(), WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(f.HScroll1.Value(), 9);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 1);
}

TEST(CommandButtons, FirstButtonHasFocusAndKeyboardRunsTheCommands) {
    ControlsForm f;
    int ones = 0, twos = 0;
    f.Command1.Click = [&] { ++ones; };
    f.Command2.Click = [&] { ++twos; };
    f.Command1.TabIndex(0);
    f.Command2.TabIndex(1);
    f.Show();
    SetForegroundWindow(f.hWnd());
    PumpFor(50);
    EXPECT_EQ(GetFocus(), f.Command1.hWnd());
    // Space on the focused button.
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageW(GetFocus(), WM_KEYUP, VK_SPACE, 0xC0390001);
    EXPECT_TRUE(PumpUntil([&] { return ones == 1; }, 1000));
    // Tab moves on to the next button in the tab order; Enter presses it.
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == f.Command2.hWnd(); }, 1000));
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_TRUE(PumpUntil([&] { return twos == 1; }, 1000));
    EXPECT_EQ(ones, 1);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == f.HScroll1.hWnd(); }, 1000));
    // From code.
    f.Command1.Value(true);
    EXPECT_EQ(ones, 2);
}

TEST(WindowlessControls, ClicksGoToTheTopmostWithTheirIndex) {
    ControlsForm f;
    f.Show();
    std::vector<std::string> clicks;
    f.Image4.Click = [&](int16_t i) { clicks.push_back("Image4(" + std::to_string(i) + ")"); };
    f.Label3.Click = [&](int16_t i) { clicks.push_back("Label3(" + std::to_string(i) + ")"); };
    HWND h = f.hWnd();
    auto click = [h](int x, int y, UINT down, UINT up, WPARAM keys) {
        SendMessageW(h, WM_MOUSEMOVE, 0, At(x, y));
        SendMessageW(h, down, keys, At(x, y));
        SendMessageW(h, up, 0, At(x, y));
    };
    click(50, 35, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON); // on the label over the image
    click(25, 25, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON); // on the image only
    click(25, 25, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON); // right button: no Click
    click(5, 5, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON);   // background
    // Pressed on the image, released outside it: no Click.
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(25, 25));
    SendMessageW(h, WM_LBUTTONUP, 0, At(200, 200));
    f.Label3.Visible(false);
    click(50, 35, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON); // the hidden label lets through
    EXPECT_EQ(clicks, (std::vector<std::string>{"Label3(0)", "Image4(0)", "Image4(0)"}));
}

TEST(WindowlessControls, StretchedPictureUnderTransparentLabel) {
    std::string path = WriteTempFile("red.bmp", SolidBitmapFile(4, 4, 0, 0, 255));
    auto red = LoadPicture(path);
    ASSERT_TRUE(red);
    ControlsForm f;
    f.Label3.Caption("");
    f.Image4.Picture(*red);
    f.Load();
    Canvas c(f, 200, 100);
    EXPECT_EQ(c.At(5, 5), 0x404040u) << "form background";
    EXPECT_EQ(c.At(21, 21), 0xFF0000u) << "stretched picture, top-left";
    EXPECT_EQ(c.At(118, 58), 0xFF0000u) << "stretched picture, bottom-right";
    EXPECT_EQ(c.At(50, 35), 0xFF0000u) << "a transparent label leaves the picture visible";
    EXPECT_EQ(c.At(121, 30), 0x404040u);
    f.Label3.BackStyle(vbOpaque);
    f.Label3.BackColor(0x00FF00);
    Canvas d(f, 200, 100);
    EXPECT_EQ(d.At(50, 35), 0x00FF00u) << "an opaque label covers the picture";
}

TEST(Pictures, LoaderResultsAndNaturalSize) {
    auto empty = LoadPicture("");
    ASSERT_TRUE(empty) << "an empty path gives an empty picture";
    EXPECT_TRUE(empty->Empty());
    std::string dir = test::MakeTempDir("forms_pictures");
    EXPECT_FALSE(LoadPicture(test::JoinPath(dir, "missing.bmp")));
    std::string junk = test::JoinPath(dir, "junk.bmp");
    ASSERT_TRUE(test::WriteFile(junk, std::string(300, 'x')));
    EXPECT_FALSE(LoadPicture(junk));
    std::string truncated = SolidBitmapFile(30, 20, 1, 2, 3).substr(0, 40);
    std::string cut = test::JoinPath(dir, "cut.bmp");
    ASSERT_TRUE(test::WriteFile(cut, truncated));
    EXPECT_FALSE(LoadPicture(cut));

    auto p = LoadPicture(WriteTempFile("blue.bmp", SolidBitmapFile(30, 20, 255, 0, 0)));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Type(), PICTYPE_BITMAP);
    EXPECT_EQ(p->PixelWidth(), 30);
    EXPECT_EQ(p->PixelHeight(), 20);
    // Without stretching, the display takes the picture's size.
    ControlsForm f;
    f.Image4.Stretch(false);
    f.Image4.Picture(*p);
    EXPECT_EQ(f.Image4.Width(), 450);
    EXPECT_EQ(f.Image4.Height(), 300);
}

TEST(Pictures, IconFilesLoad) {
    // A 16 x 16 icon of 32 bits per pixel.
    std::string ico = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
    uint32_t size = 40 + 16 * 16 * 4 + 16 * 4;
    for (int i = 0; i < 4; ++i)
        ico.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
    ico += std::string{22, 0, 0, 0};
    std::string dib(40, '\0');
    dib[0] = 40;
    dib[4] = 16;
    dib[8] = 32;
    dib[12] = 1;
    dib[14] = 32;
    ico += dib;
    ico += std::string(16 * 16 * 4, '\x7f');
    ico += std::string(16 * 4, '\0');
    auto p = LoadPicture(WriteTempFile("x.ico", ico));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Type(), PICTYPE_ICON);
    EXPECT_NE(p->Handle(), 0u);
}

TEST(Pictures, CorpusGifsAndBitmaps) {
    std::string corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the shared corpus folder is absent";
    auto gif = LoadPicture(test::JoinPath(corpus, "gif-suite/all-reds.gif"));
    ASSERT_TRUE(gif) << "GIF files load";
    EXPECT_EQ(gif->Type(), PICTYPE_BITMAP);
    auto good = LoadPicture(test::JoinPath(corpus, "bmpsuite/g/rgb24.bmp"));
    ASSERT_TRUE(good);
    EXPECT_EQ(good->PixelWidth(), 127);
    EXPECT_EQ(good->PixelHeight(), 64);
    // Bad files: refused, or loaded; never a crash.
    for (const char* name : {"badbitcount", "badbitssize", "badfilesize", "badheadersize",
                             "badpalettesize", "badplanes", "badrle", "badwidth", "pal8badindex",
                             "reallybig", "rletopdown", "shortfile"}) {
        auto p = LoadPicture(test::JoinPath(corpus, std::string("bmpsuite/b/") + name + ".bmp"));
        if (p) {
            EXPECT_FALSE(p->Empty()) << name;
        }
    }
    EXPECT_FALSE(LoadPicture(test::JoinPath(corpus, "bmpsuite/b/shortfile.bmp")));
    // A GIF whose screen is 65535 x 65535 pixels would need gigabytes: refused.
    EXPECT_FALSE(LoadPicture(test::JoinPath(corpus, "gif-suite/max-size.gif")));
}

TEST(Pictures, MissingResourcesAreFailures) {
    EXPECT_FALSE(LoadResPicture(4242, vbResBitmap));
    EXPECT_FALSE(LoadResPicture(4242, vbResIcon));
    EXPECT_FALSE(LoadResPicture(1, 7));
    EXPECT_TRUE(LoadResData(4242, "GIF").empty());
}

TEST(Forms, IconIsTheHandleOfThePictureGiven) {
    ControlsForm f;
    EXPECT_EQ(f.Icon(), nullptr);
    HICON question = LoadIconW(nullptr, IDI_QUESTION);
    auto picture = modParsers::PictureFromHandle(CopyIcon(question), modParsers::pictureIcon);
    ASSERT_TRUE(picture);
    f.Icon(Picture(picture));
    EXPECT_NE(f.Icon(), nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(f.hWnd(), WM_GETICON, ICON_BIG, 0)), f.Icon());
}

TEST(MessageLoop, RunEndsWhenTheLastFormIsUnloaded) {
    ControlsForm f;
    f.Show();
    PostMessageW(f.hWnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(App::Run(), 0);
    EXPECT_FALSE(f.Loaded());
}

TEST(Menus, PopupRunsTheChosenItem) {
    ControlsForm f;
    f.Show();
    Menu mnuForm;
    MenuItem mnuHide(mnuForm, "Hide");
    MenuItem mnuShow(mnuForm, "Show");
    MenuItem mnuSep(mnuForm, "-");
    MenuItem mnuExit(mnuForm, "Exit");
    std::vector<std::string> ran;
    mnuHide.Click = [&] { ran.push_back("Hide"); };
    mnuShow.Click = [&] { ran.push_back("Show"); };
    mnuExit.Click = [&] { ran.push_back("Exit"); };
    // Keys for the menu's own loop: down to the second item, choose it. A thread timer
    // sends them once the menu is up; Escape closes the menu after a second at the latest.
    static HWND owner;
    owner = f.hWnd();
    UINT_PTR keys = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        HWND menu = FindWindowW(L"#32768", nullptr);
        HWND to = menu ? menu : owner;
        PostMessageW(to, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(to, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(to, WM_KEYDOWN, VK_RETURN, 0);
    });
    UINT_PTR escape = SetTimer(nullptr, 0, 1000, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        HWND menu = FindWindowW(L"#32768", nullptr);
        PostMessageW(menu ? menu : owner, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    f.PopupMenu(mnuForm);
    KillTimer(nullptr, keys);
    KillTimer(nullptr, escape);
    EXPECT_EQ(ran, (std::vector<std::string>{"Show"}));
}
