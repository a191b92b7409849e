// The application end to end: Moirelle_Portable.exe runs as its own process in a scratch
// folder of the shell desktop and is inspected and driven from outside, with real input
// where a user would give it. This test program stays in the desktop for the whole suite
// (the desktop ends with its last client), makes the taskbar topmost as on Windows, and
// keeps three windows of its own: a magenta backdrop behind the options window (for the
// colour key), the start menu stand-in "DV2ControlHost" and, for one test, a foreign
// window with a button.

#include "tests/support/PngWriter.h"
#include "tests/support/ReaderSamples.h"
#include "tests/support/TestPaths.h"
#include "tools/shelldriver/FileDrag.h"
#include "tools/shelldriver/ProcessCost.h"
#include "tools/shelldriver/RunningApp.h"

#include "app/modTray.h"
#include "tools/shelldriver/ShellDesktop.h"

#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#ifndef MOIRELLE_APP_EXE
#define MOIRELLE_APP_EXE ""
#endif

using namespace moirelle;
using namespace moirelle::test;
using namespace moirelle::shelldriver;

namespace {

constexpr COLORREF kBackdrop = RGB(255, 0, 255);
constexpr COLORREF kBaseGreen = RGB(0, 160, 0);
constexpr COLORREF kBaseBlue = RGB(0, 0, 200);
constexpr COLORREF kTextureRed = RGB(255, 0, 0);
constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The options window's layout in client pixels at 96 dpi (its design in twips / 15); at
// other resolutions it scales.
constexpr POINT kPreview{16 + 188, 48 + 10};
constexpr POINT kApplyTexture{232 + 78, 120 + 15};
constexpr POINT kExitApplication{232 + 78, 152 + 15};
constexpr POINT kHideButton{376 + 11, 8 + 11};
// The gallery strip: 377 x 64 pixels at (16, 197), two rows of eight cells of 47 x 32.
constexpr POINT kGallery{16, 197};
constexpr POINT GalleryCell(int row, int column) {
    return {kGallery.x + column * 47 + 23, kGallery.y + row * 32 + 16};
}
// A place of the options window off every control (the header).
constexpr POINT kHeader{200, 30};

// A 24-bit bitmap of one colour.
std::string SolidBmp(int w, int h, COLORREF c) {
    Bytes rows;
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            rows.push_back(GetBValue(c));
            rows.push_back(GetGValue(c));
            rows.push_back(GetRValue(c));
        }
        rows.resize((y + 1) * stride, 0);
    }
    Bytes b = BuildBmp(w, h, 24, 0, rows);
    return std::string(b.begin(), b.end());
}

// An RGBA PNG whose left half (or top half) is opaque red and the rest fully transparent.
std::string HalfRedPng(bool topHalf = false) {
    PngSpec s;
    s.width = 16;
    s.height = 4;
    for (uint32_t y = 0; y < s.height; ++y)
        for (uint32_t x = 0; x < s.width; ++x) {
            bool left = topHalf ? y < s.height / 2 : x < s.width / 2;
            s.pixels.insert(s.pixels.end(),
                            {uint8_t(left ? 255 : 0), 0, 0, uint8_t(left ? 255 : 0)});
        }
    auto png = EncodePng(s);
    return std::string(png.begin(), png.end());
}

std::string FileBytes(const std::string& path) {
    std::string s;
    return ReadFile(path, s) ? s : std::string("<missing>");
}

std::optional<std::wstring> RunValue() {
    wchar_t data[1024]{};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Moirelle", RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

void DeleteRunValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, L"Moirelle");
    RegCloseKey(key);
}

} // namespace

class AppEndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string exe = MOIRELLE_APP_EXE;
        if (exe.empty()) return;
        SetProcessDPIAware();
        // The desktop's taskbar comes up with the first client of the desktop: this program.
        // The backdrop stays off the screen's edges: a window exactly covering the work area
        // (0, 0, 1024, 740 at 144 dpi) counts as maximised and would turn the taskbar opaque.
        backdrop_ = std::make_unique<ColourWindow>(L"MoirelleTestBackdrop", RECT{1, 1, 1023, 700},
                                                   kBackdrop);
        if (!WaitFor([] { return Taskbar() && IsWindowVisible(Taskbar()); }, 30000)) return;
        taskbarHome_ = WindowRect(Taskbar());
        SetWindowPos(Taskbar(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RaiseOnScreen(Taskbar());
        startMenu_ = std::make_unique<ColourWindow>(L"DV2ControlHost", RECT{8, 8, 208, 108},
                                                    RGB(30, 30, 30));
        DeleteRunValue();
        folder_ = MakeTempDir("moirelle e2e");
        // The build's path is a Unix one: under Wine the Unix root is drive Z:.
        if (exe[0] == '/') exe = "Z:" + exe;
        for (char& c : exe)
            if (c == '/') c = '\\';
        exe_ = win::Widen(folder_) + L"\\Moirelle_Portable.exe";
        if (!CopyFileW(win::Widen(exe).c_str(), exe_.c_str(), FALSE)) exe_.clear();
        CreateDirectoryW(win::Widen(JoinPath(folder_, "skins, blue")).c_str(), nullptr);
        WriteFile(Path("base-green.bmp"), SolidBmp(16, 8, kBaseGreen));
        WriteFile(Path("skins, blue\\base-blue.bmp"), SolidBmp(16, 8, kBaseBlue));
        WriteFile(Path("texture.png"), HalfRedPng());
        WriteFile(Path("texture-top.png"), HalfRedPng(true));
        WriteFile(Path("broken.bmp"), std::string(200, 'x'));
        WriteFile(Path("broken.png"), std::string(200, 'y'));
        ready_ = !exe_.empty();
    }

    static void TearDownTestSuite() {
        app_.Kill();
        if (HWND taskbar = Taskbar()) {
            SetWindowLongPtrW(taskbar, GWL_EXSTYLE,
                              GetWindowLongPtrW(taskbar, GWL_EXSTYLE) & ~WS_EX_LAYERED);
            SetWindowPos(taskbar, HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        DeleteRunValue();
        startMenu_.reset();
        backdrop_.reset();
    }

    void SetUp() override {
        if (!ready_) GTEST_SKIP() << "no executable or no shell desktop";
        if (!app_.Running()) {
            ASSERT_TRUE(app_.Start(exe_)) << "the program did not come up";
        }
    }

    void TearDown() override {
        // A test that failed half-way may leave a menu or dialog open: start afresh.
        if (HasFailure() || app_.Find(L"#32768") || app_.Find(L"#32770")) app_.Kill();
        SetWindowPos(Taskbar(), nullptr, taskbarHome_.left, taskbarHome_.top,
                     taskbarHome_.right - taskbarHome_.left, taskbarHome_.bottom - taskbarHome_.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    static std::string Path(const std::string& name) { return JoinPath(folder_, name); }
    static void RemoveSkinFiles() {
        DeleteFileW(win::Widen(Path("lastskin.cfg")).c_str());
        DeleteFileW(win::Widen(Path("FXskin.cfg")).c_str());
    }
    static void Restart() {
        app_.Kill();
        ASSERT_TRUE(app_.Start(exe_)) << "the program did not come up";
    }

    // A pixel of the overlay on the screen, at x and the middle of the taskbar's rows.
    static COLORREF OverlayPixel(int x) {
        RECT r = WindowRect(app_.Overlay());
        return ScreenPixel(x, (r.top + r.bottom) / 2);
    }
    static bool OverlayShows(int x, COLORREF c) {
        return WaitFor([&] { return OverlayPixel(x) == c; }, 3000);
    }

    // The screen's resolution; the end-to-end tests also run at 120 and 144 dpi, where the
    // run names the resolution it set up in MOIRELLE_EXPECT_DPI.
    static int Dpi() {
        win::WindowDC screen(nullptr);
        return GetDeviceCaps(screen.get(), LOGPIXELSX);
    }
    static int Scaled(int pixelsAt96) { return MulDiv(pixelsAt96, Dpi(), 96); }
    // A point of the options window given at 96 dpi, on the screen.
    static POINT At(POINT design) { return app_.OptionsPoint(Scaled(design.x), Scaled(design.y)); }

    static HWND ButtonNamed(const wchar_t* caption) {
        return ChildWithText(app_.Options(), L"Button", caption);
    }
    static void Click(HWND button) {
        SendMessageW(button, BM_CLICK, 0, 0);
        Pump(100);
    }
    // The slider moved by the scroll bar's own notifications: to the left end, then right.
    static void Slide(int value) {
        HWND bar = ChildWithText(app_.Options(), L"ScrollBar", L"");
        ASSERT_NE(bar, nullptr);
        SendMessageW(app_.Options(), WM_HSCROLL, SB_LEFT, reinterpret_cast<LPARAM>(bar));
        for (int i = 0; i < value; ++i)
            SendMessageW(app_.Options(), WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
        Pump(50);
    }
    // Whether the shell shows the program's icon: a change of it is taken only then.
    static bool IconShown() {
        NOTIFYICONDATAW icon{};
        icon.cbSize = sizeof(icon);
        icon.hWnd = app_.Options();
        icon.uID = 1;
        return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
    }
    static BYTE TaskbarAlpha() {
        auto l = LayeredOf(Taskbar());
        return l ? l->alpha : 0;
    }

    // Opens a choice dialog with a real click on the preview, types the path, presses OK
    // (or Cancel when the path is empty).
    static void Choose(Button button, const std::string& path) {
        ClickAt(At(kPreview), button);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (dialog = app_.Find(L"#32770")) != nullptr; }))
            << "no open-file dialog";
        Pump(300);
        // No read-only box.
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 0x410)));
        if (path.empty()) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        } else {
            HWND name = GetDlgItem(dialog, 0x47C);
            ASSERT_NE(name, nullptr);
            SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(win::Widen(path).c_str()));
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        }
        ASSERT_TRUE(WaitFor([] { return !ProcessWindow(app_.Id(), L"#32770", L"Choose a Skin"); }))
            << "dialog stayed";
        Pump(300);
    }

    static inline RunningApp app_;
    static inline std::unique_ptr<ColourWindow> backdrop_;
    static inline std::unique_ptr<ColourWindow> startMenu_;
    static inline std::string folder_;
    static inline std::wstring exe_;
    static inline RECT taskbarHome_{};
    static inline bool ready_ = false;
};

TEST_F(AppEndToEnd, OverlayLiesUnderTheTaskbarAndFollowsItToTheTopAndBack) {
    HWND taskbar = Taskbar();
    EXPECT_TRUE(SameRect(WindowRect(app_.Overlay()), taskbarHome_))
        << Describe(WindowRect(app_.Overlay())) << " vs " << Describe(taskbarHome_);
    const int w = taskbarHome_.right - taskbarHome_.left,
              h = taskbarHome_.bottom - taskbarHome_.top;
    SetWindowPos(taskbar, nullptr, 0, 0, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT top{0, 0, GetSystemMetrics(SM_CXSCREEN), h};
    EXPECT_TRUE(WaitFor([&] { return SameRect(WindowRect(app_.Overlay()), top); }, 2000))
        << Describe(WindowRect(app_.Overlay()));
    SetWindowPos(taskbar, nullptr, taskbarHome_.left, taskbarHome_.top, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitFor([&] { return SameRect(WindowRect(app_.Overlay()), taskbarHome_); }, 2000))
        << Describe(WindowRect(app_.Overlay()));
}

// A taskbar docked at a side edge, or hidden over any edge, keeps the skin under it; along a
// side the skin fills it.
TEST_F(AppEndToEnd, OverlayFollowsSideAndHiddenTaskbars) {
    const int sx = GetSystemMetrics(SM_CXSCREEN), sy = GetSystemMetrics(SM_CYSCREEN);
    const RECT places[] = {
        {0, 0, 60, sy},           // left
        {sx - 60, 0, sx, sy},     // right
        {sx - 2, 0, sx + 58, sy}, // right, hidden
        {0, sy - 2, sx, sy + 18}, // bottom, hidden
        {0, -18, sx, 2},          // top, hidden
    };
    for (const RECT& r : places) {
        SetWindowPos(Taskbar(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(WaitFor([&] { return SameRect(WindowRect(app_.Overlay()), r); }, 2000))
            << Describe(r) << ": " << Describe(WindowRect(app_.Overlay()));
        if (r.left == 0 && r.top == 0) {
            // The overlay repaints after it moved: wait for the skin to show.
            COLORREF c = 0;
            EXPECT_TRUE(WaitFor(
                [&] {
                    c = ScreenPixel(30, sy - 30);
                    return GetBValue(c) > GetRValue(c) + 20;
                },
                2000))
                << "no skin low on the side " << std::hex << c;
        }
    }
}

// While the options window is hidden to the notification area, a taller bottom taskbar is
// still followed (the tolerance is the window's normal height, not its minimized one).
TEST_F(AppEndToEnd, HiddenOptionsWindowStillLetsTheOverlayFollowATallerTaskbar) {
    ClickAt(At(kHideButton), Button::Left);
    ASSERT_TRUE(WaitFor([] { return !IsWindowVisible(app_.Options()); }, 3000));
    const int screenH = GetSystemMetrics(SM_CYSCREEN), screenW = GetSystemMetrics(SM_CXSCREEN);
    SetWindowPos(Taskbar(), nullptr, 0, screenH - 40, screenW, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT tall{0, screenH - 40, screenW, screenH};
    EXPECT_TRUE(WaitFor([&] { return SameRect(WindowRect(app_.Overlay()), tall); }, 2000))
        << Describe(WindowRect(app_.Overlay()));
    app_.Kill();
}

// Design places in twips, 15 to the pixel at 96 dpi; each place and size is rounded to
// pixels on its own. The window is centred on the screen, its pictures scaled with it.
TEST_F(AppEndToEnd, OptionsWindowAndItsControlsSitAtTheirDesignPlaces) {
    if (const char* dpi = std::getenv("MOIRELLE_EXPECT_DPI")) {
        ASSERT_EQ(Dpi(), std::atoi(dpi));
    }
    const double tpp = 1440.0 / Dpi();
    auto px = [&](int twips) { return static_cast<int>(std::nearbyint(twips / tpp)); };
    const int w = px(6075), h = px(3990);
    const int sx = GetSystemMetrics(SM_CXSCREEN), sy = GetSystemMetrics(SM_CYSCREEN);
    RECT expected{(sx - w) / 2, (sy - h) / 2, (sx - w) / 2 + w, (sy - h) / 2 + h};
    EXPECT_TRUE(SameRect(WindowRect(app_.Options()), expected))
        << Describe(WindowRect(app_.Options()));
    struct Place {
        const wchar_t* cls;
        const wchar_t* text;
        RECT twips;
    } places[] = {
        {L"ScrollBar", L"", {240, 1440, 5655, 255}},
        {L"Button", L"Start with Windows", {120, 1800, 2055, 255}},
        {L"Button", L"Transparent Taskbar", {120, 2160, 2175, 255}},
        {L"Button", L"Fade Startmenu", {120, 2520, 2055, 255}},
    };
    for (const Place& p : places) {
        HWND child = ChildWithText(app_.Options(), p.cls, p.text);
        ASSERT_NE(child, nullptr);
        RECT r = WindowRect(child);
        MapWindowPoints(nullptr, app_.Options(), reinterpret_cast<POINT*>(&r), 2);
        RECT want{px(p.twips.left), px(p.twips.top), px(p.twips.left) + px(p.twips.right),
                  px(p.twips.top) + px(p.twips.bottom)};
        EXPECT_TRUE(SameRect(r, want)) << win::Narrow(p.text) << " " << Describe(r);
    }
    // The background picture's panel reaches its far corner (near (400, 180) at 96 dpi) only
    // when the picture is scaled with the window; its own corner is keyed.
    RaiseOnScreen(app_.Options());
    Pump(200);
    POINT corner = app_.OptionsPoint(0, 0), panel = At({400, 180});
    EXPECT_EQ(ScreenPixel(corner.x, corner.y), kBackdrop);
    EXPECT_NE(ScreenPixel(panel.x, panel.y), kBackdrop);
    // The picture button shows its built-in picture: a blue face.
    POINT button = At({237, 135});
    COLORREF face = ScreenPixel(button.x, button.y);
    EXPECT_GT(GetBValue(face), GetRValue(face) + 40) << std::hex << face;
}

TEST_F(AppEndToEnd, TaskbarOpacityFollowsTheSliderUntilApplyTextureRestoresIt) {
    Restart();
    auto start = LayeredOf(Taskbar());
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->alpha, 155);
    EXPECT_EQ(start->flags, static_cast<DWORD>(LWA_ALPHA));
    for (int v : {200, 0, 255, 37}) {
        Slide(v);
        EXPECT_EQ(TaskbarAlpha(), 255 - v) << "slider " << v;
    }
    ClickAt(At(kApplyTexture), Button::Left);
    EXPECT_TRUE(WaitFor([] { return !LayeredOf(Taskbar()); }, 2000));
    Slide(120);
    EXPECT_FALSE(LayeredOf(Taskbar())) << "slider moves after Apply Texture reach the taskbar";
}

// Neither this program's own buttons (with the taskbar out of the topmost band) nor another
// program's window with a button above the taskbar may take the taskbar's place.
// The button is found at the start; when it goes, it is looked for again.
TEST_F(AppEndToEnd, TranslucencyGoesToTheTaskbarWhateverWindowsLieAboveIt) {
    ColourWindow foreign(L"MoirelleTestForeign", RECT{880, 8, 1000, 68}, RGB(0, 128, 128), true);
    HWND other = CreateWindowExW(0, L"Button", L"Other", WS_CHILD | WS_VISIBLE, 4, 4, 80, 24,
                                 foreign.hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    Restart();
    Slide(50);
    EXPECT_EQ(TaskbarAlpha(), 205);
    EXPECT_FALSE(LayeredOf(foreign.hwnd()));
    DestroyWindow(other);
    SetWindowPos(Taskbar(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(app_.Options(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Slide(60);
    EXPECT_EQ(TaskbarAlpha(), 195);
    EXPECT_FALSE(LayeredOf(app_.Options()) && LayeredOf(app_.Options())->flags & LWA_ALPHA);
    SetWindowPos(Taskbar(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RaiseOnScreen(Taskbar());
    app_.Kill();
}

// Also the overlay of a secondary taskbar that appears meanwhile.
TEST_F(AppEndToEnd, TransparentTaskbarHidesAndShowsTheOverlay) {
    HWND box = ButtonNamed(L"Transparent Taskbar");
    ASSERT_NE(box, nullptr);
    Click(box);
    EXPECT_TRUE(WaitFor([] { return !IsWindowVisible(app_.Overlay()); }, 2000));
    const RECT place{100, 600, 700, 630};
    ColourWindow secondary(L"Shell_SecondaryTrayWnd", place, RGB(20, 20, 20));
    auto shownOnIt = [&] {
        for (HWND w = FindWindowExW(nullptr, nullptr, L"MoirelleForm", L"Moirelle"); w;
             w = FindWindowExW(nullptr, w, L"MoirelleForm", L"Moirelle"))
            if (IsWindowVisible(w) && SameRect(WindowRect(w), place)) return true;
        return false;
    };
    ASSERT_TRUE(WaitFor([&] { return LayeredOf(secondary.hwnd()).has_value(); }, 2000));
    Pump(300);
    EXPECT_FALSE(shownOnIt()) << "a new overlay shows while the overlays are hidden";
    Click(box);
    EXPECT_TRUE(WaitFor([] { return IsWindowVisible(app_.Overlay()) != FALSE; }, 2000));
    EXPECT_TRUE(WaitFor(shownOnIt, 2000));
}

TEST_F(AppEndToEnd, FadeStartmenuLayersTheStartMenuAndLeavingRestoresIt) {
    Restart();
    Slide(100);
    HWND box = ButtonNamed(L"Fade Startmenu");
    ASSERT_NE(box, nullptr);
    Click(box);
    auto faded = LayeredOf(startMenu_->hwnd());
    ASSERT_TRUE(faded.has_value());
    EXPECT_EQ(faded->alpha, 155);
    Slide(10);
    EXPECT_EQ(LayeredOf(startMenu_->hwnd())->alpha, 155) << "the slider alone changed it";
    Click(box);
    auto unfaded = LayeredOf(startMenu_->hwnd());
    ASSERT_TRUE(unfaded.has_value());
    EXPECT_EQ(unfaded->alpha, 255);
    ClickAt(At(kExitApplication), Button::Left);
    EXPECT_TRUE(app_.WaitForExit(5000));
    EXPECT_FALSE(LayeredOf(startMenu_->hwnd()));
    EXPECT_FALSE(LayeredOf(Taskbar()));
}

TEST_F(AppEndToEnd, StartWithWindowsWritesTheQuotedPathAndDeletesIt) {
    HWND box = ButtonNamed(L"Start with Windows");
    ASSERT_NE(box, nullptr);
    Click(box);
    // The scratch folder's name holds a space.
    EXPECT_EQ(RunValue(), L"\"" + exe_ + L"\"");
    Click(box);
    EXPECT_FALSE(RunValue().has_value());
}

TEST_F(AppEndToEnd, NotificationMenuOpensOnEitherButtonAndHidesShowsAndExits) {
    HWND menu = app_.OpenTrayMenu(Button::Right);
    ASSERT_NE(menu, nullptr) << "no menu on a right click";
    app_.ChooseMenuItem(menu, 0);
    EXPECT_TRUE(WaitFor([] { return !IsWindowVisible(app_.Options()); }, 2000)) << "Hide";
    menu = app_.OpenTrayMenu(Button::Left);
    ASSERT_NE(menu, nullptr) << "no menu on a left click";
    app_.ChooseMenuItem(menu, 1);
    EXPECT_TRUE(
        WaitFor([] { return IsWindowVisible(app_.Options()) && !IsIconic(app_.Options()); }, 2000))
        << "Show";
    menu = app_.OpenTrayMenu(Button::Left);
    ASSERT_NE(menu, nullptr);
    app_.ChooseMenuItem(menu, 3);
    EXPECT_TRUE(app_.WaitForExit(5000)) << "Exit";
    EXPECT_FALSE(LayeredOf(Taskbar()));
    EXPECT_TRUE(app_.ChildrenEnded(2000)) << "the watcher outlived the program";
}

// Mouse moves over the window are no icon callbacks, whatever their x coordinate.
TEST_F(AppEndToEnd, MouseMovesAtIconMessageCoordinatesOpenNoMenu) {
    for (int x : {514, 517})
        PostMessageW(app_.Options(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 0));
    Pump(500);
    EXPECT_EQ(app_.Find(L"#32768"), nullptr);
}

TEST_F(AppEndToEnd, ClosingTheOptionsWindowRestoresTheTaskbarAndEnds) {
    PostMessageW(app_.Options(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(app_.WaitForExit(5000));
    EXPECT_FALSE(LayeredOf(Taskbar()));
}

// Ended without any of its handlers: its watcher restores the taskbar and the faded start
// menu, then ends too.
TEST_F(AppEndToEnd, AKilledProgramLeavesNothingTranslucentBehind) {
    Restart();
    ASSERT_EQ(app_.ChildCount(), 1u) << "no watcher";
    Click(ButtonNamed(L"Fade Startmenu"));
    ASSERT_TRUE(LayeredOf(startMenu_->hwnd()));
    ASSERT_TRUE(LayeredOf(Taskbar()));
    ULONGLONG killed = GetTickCount64();
    app_.Kill();
    EXPECT_LT(GetTickCount64() - killed, 1000u) << "the watcher ended late";
    EXPECT_FALSE(LayeredOf(Taskbar()));
    EXPECT_FALSE(LayeredOf(startMenu_->hwnd()));
}

TEST_F(AppEndToEnd, SessionEndRestoresTheTaskbar) {
    ASSERT_TRUE(LayeredOf(Taskbar()));
    SendMessageW(app_.Options(), WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(LayeredOf(Taskbar()));
    app_.Kill();
}

// A restarted shell announces itself with "TaskbarCreated": the icon and the translucency
// come back.
TEST_F(AppEndToEnd, ShellRestartGetsTheIconAndTheTranslucencyBack) {
    Restart();
    Slide(80);
    SetWindowLongPtrW(Taskbar(), GWL_EXSTYLE,
                      GetWindowLongPtrW(Taskbar(), GWL_EXSTYLE) & ~WS_EX_LAYERED);
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = app_.Options();
    icon.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0,
                        SMTO_ABORTIFHUNG, 2000, &result);
    EXPECT_TRUE(WaitFor([] { return TaskbarAlpha() == 175; }, 2000)) << int(TaskbarAlpha());
    HWND menu = app_.OpenTrayMenu(Button::Right);
    EXPECT_NE(menu, nullptr) << "no icon after the restart";
    app_.Kill();
}

// A further monitor's taskbar gets the translucency and an overlay of its own, laid on it
// and following it; when it goes, so does its overlay.
TEST_F(AppEndToEnd, SecondaryTaskbarGetsTheTranslucencyAndAnOverlayOfItsOwn) {
    Restart();
    auto overlays = [] {
        std::vector<RECT> found;
        for (HWND w = FindWindowExW(nullptr, nullptr, L"MoirelleForm", L"Moirelle"); w;
             w = FindWindowExW(nullptr, w, L"MoirelleForm", L"Moirelle")) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == app_.Id() && IsWindowVisible(w)) found.push_back(WindowRect(w));
        }
        return found;
    };
    auto hasOverlayAt = [&](const RECT& r) {
        auto all = overlays();
        return std::any_of(all.begin(), all.end(), [&](const RECT& o) { return SameRect(o, r); });
    };
    const RECT place{100, 600, 700, 630}, moved{100, 0, 900, 40};
    auto secondary =
        std::make_unique<ColourWindow>(L"Shell_SecondaryTrayWnd", place, RGB(20, 20, 20));
    EXPECT_TRUE(WaitFor([&] { return hasOverlayAt(place); }, 2000)) << overlays().size();
    ASSERT_TRUE(WaitFor([&] { return LayeredOf(secondary->hwnd()).has_value(); }, 1000));
    auto layered = LayeredOf(secondary->hwnd());
    ASSERT_TRUE(layered.has_value());
    EXPECT_EQ(layered->alpha, 155);
    Slide(40);
    EXPECT_EQ(LayeredOf(secondary->hwnd())->alpha, 215);
    // Its overlay shows the skin the user chooses.
    Choose(Button::Left, Path("base-green.bmp"));
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(400, 615) == kBaseGreen; }, 2000))
        << std::hex << ScreenPixel(400, 615);
    SetWindowPos(secondary->hwnd(), nullptr, moved.left, moved.top, moved.right - moved.left,
                 moved.bottom - moved.top, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitFor([&] { return hasOverlayAt(moved); }, 2000));
    ClickAt(At(kApplyTexture), Button::Left);
    EXPECT_TRUE(WaitFor([&] { return !LayeredOf(secondary->hwnd()); }, 2000));
    secondary.reset();
    EXPECT_TRUE(WaitFor([&] { return overlays().size() == 1; }, 2000)) << overlays().size();
}

TEST_F(AppEndToEnd, FirstStartShowsTheBuiltInSkin) {
    RemoveSkinFiles();
    Restart();
    COLORREF c = OverlayPixel(100);
    EXPECT_GT(GetBValue(c), GetRValue(c) + 20) << std::hex << c;
    EXPECT_GT(GetBValue(c), GetGValue(c));
}

// The texture is stretched over the overlay's height: its lower half (transparent) shows
// the base picture along the overlay's bottom rows.
TEST_F(AppEndToEnd, TheTextureSpansTheOverlaysHeight) {
    Choose(Button::Left, Path("base-green.bmp"));
    Choose(Button::Right, Path("texture-top.png"));
    RECT r = WindowRect(app_.Overlay());
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2, top = r.top + 2, bottom = r.bottom - 3;
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(x, top) == kTextureRed; }, 3000))
        << std::hex << ScreenPixel(x, top);
    EXPECT_EQ(ScreenPixel(x, bottom), kBaseGreen) << std::hex << ScreenPixel(x, bottom);
}

TEST_F(AppEndToEnd, ChosenSkinsShowAreWrittenAndComeBackAtTheNextStart) {
    RemoveSkinFiles();
    Restart();
    const int screenW = GetSystemMetrics(SM_CXSCREEN);
    Choose(Button::Left, Path("base-green.bmp"));
    EXPECT_EQ(FileBytes(Path("lastskin.cfg")), Path("base-green.bmp") + "\r\n");
    EXPECT_TRUE(OverlayShows(screenW * 3 / 4, kBaseGreen));
    Choose(Button::Right, Path("texture.png"));
    EXPECT_EQ(FileBytes(Path("FXskin.cfg")), Path("texture.png") + "\r\n");
    EXPECT_TRUE(OverlayShows(screenW / 4, kTextureRed)) << std::hex << OverlayPixel(screenW / 4);
    EXPECT_TRUE(OverlayShows(screenW * 3 / 4, kBaseGreen));
    Restart();
    EXPECT_TRUE(OverlayShows(screenW / 4, kTextureRed)) << std::hex << OverlayPixel(screenW / 4);
    EXPECT_TRUE(OverlayShows(screenW * 3 / 4, kBaseGreen))
        << std::hex << OverlayPixel(screenW * 3 / 4);
}

TEST_F(AppEndToEnd, APathWithACommaComesBackWhole) {
    const std::string blue = Path("skins, blue\\base-blue.bmp");
    Choose(Button::Left, blue);
    EXPECT_EQ(FileBytes(Path("lastskin.cfg")), blue + "\r\n");
    Restart();
    EXPECT_TRUE(OverlayShows(GetSystemMetrics(SM_CXSCREEN) * 3 / 4, kBaseBlue));
}

// Greek and Thai in the path: no ANSI code page but UTF-8 holds them both.
TEST_F(AppEndToEnd, APathOutsideTheAnsiCodePageComesBackWhole) {
    RemoveSkinFiles();
    Restart();
    const std::string green = Path("\xCE\xA9\xE0\xB8\x81 green.bmp");
    ASSERT_TRUE(
        CopyFileW(win::Widen(Path("base-green.bmp")).c_str(), win::Widen(green).c_str(), FALSE));
    const int x = GetSystemMetrics(SM_CXSCREEN) * 3 / 4;
    Choose(Button::Left, green);
    EXPECT_EQ(FileBytes(Path("lastskin.cfg")),
              (GetACP() == CP_UTF8 ? "" : "\xEF\xBB\xBF") + green + "\r\n");
    EXPECT_TRUE(OverlayShows(x, kBaseGreen));
    Restart();
    EXPECT_TRUE(OverlayShows(x, kBaseGreen)) << std::hex << OverlayPixel(x);
}

// A cancelled dialog and files that are no pictures leave the skin and its files alone,
// without an error box.
TEST_F(AppEndToEnd, CancelAndUnreadableFilesChangeNothing) {
    Choose(Button::Left, Path("base-green.bmp"));
    const std::string base = FileBytes(Path("lastskin.cfg")),
                      texture = FileBytes(Path("FXskin.cfg"));
    const int x = GetSystemMetrics(SM_CXSCREEN) * 3 / 4;
    ASSERT_TRUE(OverlayShows(x, kBaseGreen));
    Choose(Button::Left, "");
    Choose(Button::Right, "");
    Choose(Button::Left, Path("broken.bmp"));
    Choose(Button::Right, Path("broken.png"));
    EXPECT_TRUE(app_.Running());
    EXPECT_EQ(app_.Find(L"#32770"), nullptr);
    EXPECT_EQ(FileBytes(Path("lastskin.cfg")), base);
    EXPECT_EQ(FileBytes(Path("FXskin.cfg")), texture);
    EXPECT_EQ(OverlayPixel(x), kBaseGreen);
}

// The hidden "Restore" and "Make Magnet" commands, reached as the keyboard would reach them.
TEST_F(AppEndToEnd, MakeMagnetBringsBackTheDefaultSkinAtTheSliderOpacity) {
    const int x = GetSystemMetrics(SM_CXSCREEN) * 3 / 4;
    Choose(Button::Left, Path("base-green.bmp"));
    ASSERT_TRUE(OverlayShows(x, kBaseGreen));
    Slide(30);
    Click(ButtonNamed(L"Restore"));
    ASSERT_TRUE(WaitFor([] { return !LayeredOf(Taskbar()); }, 2000));
    Click(ButtonNamed(L"Make Magnet"));
    EXPECT_EQ(TaskbarAlpha(), 225);
    EXPECT_TRUE(WaitFor([&] { return OverlayPixel(x) != kBaseGreen; }, 2000));
    COLORREF c = OverlayPixel(x);
    EXPECT_GT(GetBValue(c), GetRValue(c) + 20) << std::hex << c;
}

// A skin file that cannot be replaced (held open by another program, a folder in its place)
// keeps its old content; the choice still applies and the user is told, once.
TEST_F(AppEndToEnd, ASkinFileThatCannotBeWrittenKeepsItsValueAndTheUserIsToldOnce) {
    const int x = GetSystemMetrics(SM_CXSCREEN) * 3 / 4;
    Choose(Button::Left, Path("base-green.bmp"));
    const std::string green = FileBytes(Path("lastskin.cfg"));
    ASSERT_EQ(green, Path("base-green.bmp") + "\r\n");
    RemoveDirectoryW(win::Widen(Path("FXskin.cfg")).c_str());
    DeleteFileW(win::Widen(Path("FXskin.cfg")).c_str());
    Restart();
    auto message = [] { return ProcessWindow(app_.Id(), L"#32770", L"Moirelle"); };
    {
        win::UniqueFile held(CreateFileW(win::Widen(Path("lastskin.cfg")).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
        ASSERT_TRUE(held);
        Choose(Button::Left, Path("skins, blue\\base-blue.bmp"));
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = message()) != nullptr; }, 3000)) << "not told";
        EXPECT_TRUE(OverlayShows(x, kBaseBlue));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(WaitFor([&] { return !message(); }, 3000));
    }
    EXPECT_EQ(FileBytes(Path("lastskin.cfg")), green);
    const std::wstring blocked = win::Widen(Path("FXskin.cfg"));
    ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
    Choose(Button::Right, Path("texture.png"));
    Pump(500);
    EXPECT_EQ(message(), nullptr) << "told twice";
    EXPECT_TRUE(OverlayShows(GetSystemMetrics(SM_CXSCREEN) / 4, kTextureRed));
    RemoveDirectoryW(blocked.c_str());
    Restart();
    EXPECT_TRUE(OverlayShows(x, kBaseGreen)) << std::hex << OverlayPixel(x);
}

TEST_F(AppEndToEnd, ColourKeyCutsTheOptionsWindowOnScreen) {
    auto key = LayeredOf(app_.Options());
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->key, RGB(0x40, 0x40, 0x40));
    EXPECT_TRUE(key->flags & LWA_COLORKEY);
    RaiseOnScreen(app_.Options());
    Pump(200);
    // The corner of the background picture is &H404040, the separator line &H404041.
    POINT corner = app_.OptionsPoint(0, 0), line = app_.OptionsPoint(200, 116);
    EXPECT_EQ(ScreenPixel(corner.x, corner.y), kBackdrop);
    EXPECT_EQ(ScreenPixel(line.x, line.y), RGB(0x41, 0x40, 0x40));
}

// Windows makes a window placed after a topmost one topmost too: the overlay of a topmost
// secondary taskbar stays out of the topmost band, below its taskbar.
// It also shows the skin chosen before it appeared.
TEST_F(AppEndToEnd, SecondaryOverlayOfATopmostTaskbarStaysOutOfTheTopmostBand) {
    const RECT place{100, 600, 700, 630};
    Choose(Button::Left, Path("base-green.bmp"));
    ColourWindow secondary(L"Shell_SecondaryTrayWnd", place, RGB(20, 20, 20), true);
    HWND overlay = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (HWND w = FindWindowExW(nullptr, nullptr, L"MoirelleForm", L"Moirelle"); w;
                 w = FindWindowExW(nullptr, w, L"MoirelleForm", L"Moirelle"))
                if (w != app_.Overlay() && IsWindowVisible(w) && SameRect(WindowRect(w), place))
                    overlay = w;
            return overlay != nullptr;
        },
        3000));
    Pump(500); // a few placement rounds
    EXPECT_FALSE(GetWindowLongPtrW(overlay, GWL_EXSTYLE) & WS_EX_TOPMOST);
    bool below = false;
    for (HWND w = GetWindow(secondary.hwnd(), GW_HWNDNEXT); w && !below;
         w = GetWindow(w, GW_HWNDNEXT))
        below = w == overlay;
    EXPECT_TRUE(below) << "the overlay is above its taskbar";
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(400, 615) == kBaseGreen; }, 2000))
        << std::hex << ScreenPixel(400, 615);
}

// A click on the skin leaves the focus where it was, and neither Alt+F4 (the system's close
// command) nor a close request ends an overlay. Wine's desktop activates no such window on a
// real click, so the test asks the overlay what Windows asks it on a click.
TEST_F(AppEndToEnd, OverlayTakesNoFocusAndCannotBeClosed) {
    HWND overlay = app_.Overlay();
    EXPECT_TRUE(GetWindowLongPtrW(overlay, GWL_EXSTYLE) & WS_EX_NOACTIVATE);
    EXPECT_EQ(SendMessageW(overlay, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(overlay),
                           MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_NOACTIVATE);
    PostMessageW(overlay, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(overlay, WM_CLOSE, 0, 0);
    Pump(500);
    EXPECT_TRUE(IsWindow(overlay) && IsWindowVisible(overlay));
    EXPECT_TRUE(app_.Running());
}

// Started while the shell is still busy, the program is refused its icon (the shell's first
// "Shell_TrayWnd" answers no); it tries again until the shell takes it.
TEST_F(AppEndToEnd, TheNotificationIconIsTriedAgainUntilABusyShellTakesIt) {
    app_.Kill();
    {
        ColourWindow busy(L"Shell_TrayWnd", RECT{0, 0, 1, 1}, 0, true);
        SetWindowTextW(busy.hwnd(), L"busy");
        ASSERT_TRUE(app_.Start(exe_));
        Pump(500);
    }
    EXPECT_TRUE(WaitFor(IconShown, 8000)) << "no icon";
}

// A stand-in for the shell's taskbar that takes no icon and counts the notification-area
// requests sent to it (the first "Shell_TrayWnd" gets them, whatever their form).
class RecordingShell {
  public:
    RecordingShell() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Shell_TrayWnd";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                                L"Shell_TrayWnd", L"recording", WS_POPUP, 0, 0, 1, 1, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        // The class may be registered already, by another stand-in of this process.
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
        requests = 0;
    }
    ~RecordingShell() { DestroyWindow(hwnd_); }
    static inline int requests = 0;

  private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
        if (msg == WM_COPYDATA) {
            ++requests;
            return FALSE;
        }
        return DefWindowProcW(h, msg, w, l);
    }
    HWND hwnd_ = nullptr;
};

// Exit takes the icon away (Wine's shell drops the icon of a window that is gone by itself,
// Windows' keeps it until the pointer passes over it, so the request is counted); a double
// click on the icon does nothing by itself.
TEST_F(AppEndToEnd, ExitRemovesTheIconAndADoubleClickOnItDoesNothing) {
    ASSERT_TRUE(IconShown());
    PostMessageW(app_.Options(), moirelle::app::kTrayCallbackMessage, 1, WM_LBUTTONDBLCLK);
    Pump(500);
    EXPECT_EQ(app_.Find(L"#32768"), nullptr);
    RecordingShell shell;
    ClickAt(At(kExitApplication), Button::Left);
    ASSERT_TRUE(app_.WaitForExit(5000));
    EXPECT_EQ(RecordingShell::requests, 1) << "no request to remove the icon";
}

// Without lastskin.cfg nothing is restored, not even a valid texture; an empty line clears
// the base picture and still restores the texture.
TEST_F(AppEndToEnd, TheTextureComesBackOnlyAfterTheBasePictureLine) {
    const int w = GetSystemMetrics(SM_CXSCREEN);
    RemoveSkinFiles();
    ASSERT_TRUE(WriteFile(Path("FXskin.cfg"), Path("texture.png") + "\r\n"));
    Restart();
    Pump(500);
    EXPECT_NE(OverlayPixel(w / 4), kTextureRed);
    ASSERT_TRUE(WriteFile(Path("lastskin.cfg"), "\r\n"));
    Restart();
    EXPECT_TRUE(OverlayShows(w / 4, kTextureRed)) << std::hex << OverlayPixel(w / 4);
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    EXPECT_TRUE(OverlayShows(w * 3 / 4, background)) << std::hex << OverlayPixel(w * 3 / 4);
}

// The picture buttons answer on their pictures too, not only on their captions.
TEST_F(AppEndToEnd, PictureButtonsAnswerOnTheirPictures) {
    ASSERT_TRUE(LayeredOf(Taskbar()));
    ClickAt(At({237, 135}), Button::Left);
    EXPECT_TRUE(WaitFor([] { return !LayeredOf(Taskbar()); }, 2000)) << "Apply Texture";
    ClickAt(At({237, 167}), Button::Left);
    EXPECT_TRUE(app_.WaitForExit(5000)) << "Exit Application";
}

// --- The animated base skin -----------------------------------------------------------

namespace {

// A hash of the overlay's middle row as the screen shows it.
uint64_t OverlayRowHash(HWND overlay) {
    const RECT r = WindowRect(overlay);
    return ScreenRowHash(r.left, r.right, (r.top + r.bottom) / 2);
}

// The times (ms from the start) at which the overlay's row changed, watched for `ms`, and
// the rows it showed, in order (each once in a row).
std::vector<ULONGLONG> RowChanges(HWND overlay, DWORD ms, std::vector<uint64_t>* rows = nullptr) {
    std::vector<ULONGLONG> changes;
    const ULONGLONG start = GetTickCount64();
    uint64_t last = OverlayRowHash(overlay);
    if (rows) rows->push_back(last);
    while (GetTickCount64() - start < ms) {
        Pump(5);
        const uint64_t now = OverlayRowHash(overlay);
        if (now != last) {
            changes.push_back(GetTickCount64() - start);
            if (rows) rows->push_back(now);
        }
        last = now;
    }
    return changes;
}

// The animated sample skin of the project, with every frame's delay set to `delay`
// hundredths of a second when given.
std::string SampleAnimation(int delay = -1) {
    std::string gif;
    if (!ReadFile(JoinPath(JoinPath(SourceDir(), "samples"), "skin-shimmer.gif"), gif)) return {};
    if (delay >= 0)
        for (size_t i = 0; i + 5 < gif.size(); ++i)
            if (gif[i] == '\x21' && gif[i + 1] == '\xF9' && gif[i + 2] == '\x04') {
                gif[i + 4] = static_cast<char>(delay & 0xFF);
                gif[i + 5] = static_cast<char>(delay >> 8);
            }
    return gif;
}

// Whether the program has its animations' clock (a hidden window).
bool HasAnimationClock(DWORD processId) {
    constexpr const wchar_t* kClock = L"MoirelleAnimationClock";
    for (HWND w = FindWindowExW(nullptr, nullptr, kClock, nullptr); w;
         w = FindWindowExW(nullptr, w, kClock, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == processId) return true;
    }
    return false;
}

} // namespace

// The sample's frames last 80 ms (one of them 320 ms, where nothing moves): the overlay
// changes at that pace, rests while it is hidden and goes on from there when shown again,
// with the texture over it; a still picture chosen afterwards stays still.
TEST_F(AppEndToEnd, AnAnimatedBaseSkinPlaysRestsWhileHiddenAndAStillStopsIt) {
    const std::string gif = SampleAnimation();
    ASSERT_FALSE(gif.empty()) << "samples/skin-shimmer.gif";
    ASSERT_TRUE(WriteFile(Path("skin-shimmer.gif"), gif));
    RemoveSkinFiles();
    Restart();
    Choose(Button::Left, Path("skin-shimmer.gif"));
    EXPECT_EQ(FileBytes(Path("lastskin.cfg")), Path("skin-shimmer.gif") + "\r\n");

    // Over 3 s (more than one round of 1.92 s) the frames' rows, in the order they come.
    std::vector<uint64_t> rows;
    std::vector<ULONGLONG> changes = RowChanges(app_.Overlay(), 3000, &rows);
    // About 20 changes in 1.92 s; at least 20 in 3 s.
    ASSERT_GE(changes.size(), 20u);
    std::vector<ULONGLONG> gaps;
    for (size_t i = 1; i < changes.size(); ++i)
        gaps.push_back(changes[i] - changes[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    const ULONGLONG median = gaps[gaps.size() / 2];
    EXPECT_GE(median, 60u) << "frames of 80 ms";
    EXPECT_LE(median, 130u) << "frames of 80 ms";
    EXPECT_GE(gaps.back(), 250u) << "the frame of 320 ms";

    // Hidden for 3 s (more than a round), it rests: shown again, it goes on from the frame
    // it showed, not from where 3 s of playing would have taken it.
    HWND box = ButtonNamed(L"Transparent Taskbar");
    ASSERT_NE(box, nullptr);
    const uint64_t before = OverlayRowHash(app_.Overlay());
    Click(box);
    ASSERT_TRUE(WaitFor([] { return !IsWindowVisible(app_.Overlay()); }, 2000));
    Pump(3000);
    Click(box);
    ASSERT_TRUE(WaitFor([] { return IsWindowVisible(app_.Overlay()) != FALSE; }, 2000));
    uint64_t after = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            after = OverlayRowHash(app_.Overlay());
            return std::find(rows.begin(), rows.end(), after) != rows.end();
        },
        2000))
        << "the overlay shows a frame again";
    // One frame may pass between the look before and the hiding itself, one after showing.
    bool resumed = after == before;
    for (size_t i = 0; i + 2 < rows.size(); ++i)
        resumed |= rows[i] == before && (rows[i + 1] == after || rows[i + 2] == after);
    EXPECT_TRUE(resumed) << "shown again, it goes on from where it was";
    EXPECT_GE(RowChanges(app_.Overlay(), 2000).size(), 10u) << "goes on when shown";

    // The texture lies over the animation: its opaque red half stays while the rest moves.
    const int screenW = GetSystemMetrics(SM_CXSCREEN);
    Choose(Button::Right, Path("texture.png"));
    EXPECT_TRUE(OverlayShows(screenW / 4, kTextureRed)) << std::hex << OverlayPixel(screenW / 4);
    int red = 0, samples = 0;
    const ULONGLONG until = GetTickCount64() + 1000;
    while (GetTickCount64() < until) {
        red += OverlayPixel(screenW / 4) == kTextureRed;
        ++samples;
        Pump(20);
    }
    EXPECT_EQ(red, samples) << "the texture stays over every frame";
    // Half the picture shows: the light crosses it in about 8 of the 24 frames each round.
    EXPECT_GE(RowChanges(app_.Overlay(), 2000).size(), 5u) << "under the texture it plays on";

    EXPECT_TRUE(HasAnimationClock(app_.Id()));
    Choose(Button::Left, Path("base-green.bmp"));
    EXPECT_TRUE(OverlayShows(screenW * 3 / 4, kBaseGreen));
    EXPECT_TRUE(RowChanges(app_.Overlay(), 1500).empty()) << "a still stays still";
    EXPECT_FALSE(HasAnimationClock(app_.Id())) << "with no animation left, no clock";
    Choose(Button::Left, Path("skin-shimmer.gif"));
    EXPECT_GE(RowChanges(app_.Overlay(), 2000).size(), 10u) << "chosen again, it plays again";
    EXPECT_TRUE(HasAnimationClock(app_.Id()));
}

// A full-screen window in front lets the animation rest; when it goes, the animation goes on
// from where it was. A file that loops once plays twice and then keeps its last frame.
TEST_F(AppEndToEnd, AnAnimatedSkinRestsUnderAFullScreenWindowAndLoopsAsTheFileSays) {
    std::string gif = SampleAnimation();
    ASSERT_FALSE(gif.empty());
    const size_t loop = gif.find("NETSCAPE2.0");
    ASSERT_NE(loop, std::string::npos);
    ASSERT_EQ(gif[loop + 12], '\x01');
    std::string once = gif;
    once[loop + 10] = '1'; // "NETSCAPE2.1": no loop extension, played once
    ASSERT_TRUE(WriteFile(Path("skin-once.gif"), once));
    gif[loop + 13] = 1; // played once more
    gif[loop + 14] = 0;
    ASSERT_TRUE(WriteFile(Path("skin-twice.gif"), gif));
    RemoveSkinFiles();
    Restart();

    // Played once (1.92 s), it is covered from the start for 3 s: resting there (it looks
    // every 8 frames), it still has frames to show when the window goes; playing on, it
    // would have ended under the window.
    Choose(Button::Left, Path("skin-once.gif"));
    {
        const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        ColourWindow full(L"MoirelleTestFullScreen", RECT{0, 0, w, h}, RGB(10, 10, 10));
        SetForegroundWindow(full.hwnd());
        Pump(3000);
    }
    Pump(300);
    EXPECT_GE(RowChanges(app_.Overlay(), 2500).size(), 2u) << "it went on from where it was";
    EXPECT_TRUE(RowChanges(app_.Overlay(), 1000).empty()) << "played once, it ends";

    Choose(Button::Left, Path("skin-twice.gif"));
    const std::vector<ULONGLONG> changes = RowChanges(app_.Overlay(), 3000);
    ASSERT_GE(changes.size(), 15u);
    EXPECT_GT(changes.back(), 2100u) << "a second round after the first (1.92 s)";
    Pump(2000);
    EXPECT_TRUE(RowChanges(app_.Overlay(), 1500).empty()) << "two rounds, then the last frame";
}

// What playing costs: a 25 fps animation stretched over the 1024-pixel taskbar for
// MOIRELLE_ANIMATION_SOAK_SECONDS (not part of the usual run), the program's CPU time from
// all its threads, its handles, GDI objects and memory at the start and the end.
TEST_F(AppEndToEnd, AnimationCostOverALongRun) {
    const char* env = std::getenv("MOIRELLE_ANIMATION_SOAK_SECONDS");
    if (!env) GTEST_SKIP() << "set MOIRELLE_ANIMATION_SOAK_SECONDS to measure";
    const int seconds = std::max(10, std::atoi(env));
    ASSERT_TRUE(WriteFile(Path("skin-25fps.gif"), SampleAnimation(4)));
    RemoveSkinFiles();
    Restart();
    // What the program costs with a still skin, for comparison.
    Choose(Button::Left, Path("base-green.bmp"));
    Pump(2000);
    const double stillCpu0 = ProcessCpuSeconds(app_.Id());
    const ULONGLONG stillT0 = GetTickCount64();
    Pump(10000);
    const double stillShare = 100.0 * (ProcessCpuSeconds(app_.Id()) - stillCpu0) /
                              ((GetTickCount64() - stillT0) / 1000.0);
    Choose(Button::Left, Path("skin-25fps.gif"));
    Pump(2000);
    const ProcessFootprint first = FootprintOf(app_.Id());
    ASSERT_TRUE(first.opened);
    const double cpu0 = ProcessCpuSeconds(app_.Id());
    const ULONGLONG t0 = GetTickCount64();
    const size_t changes = RowChanges(app_.Overlay(), 5000).size();
    Pump(static_cast<DWORD>(seconds) * 1000 - 5000);
    const double cpu = ProcessCpuSeconds(app_.Id()) - cpu0;
    const double wall = (GetTickCount64() - t0) / 1000.0;
    const ProcessFootprint last = FootprintOf(app_.Id());
    std::printf("animation at 25 fps on the taskbar for %.0f s: %.2f %% of one core (a still skin: "
                "%.2f %%); %zu changes in the first 5 s; handles %lu -> %lu, GDI objects %lu -> "
                "%lu, user objects %lu -> %lu, private bytes %zu -> %zu\n",
                wall, 100.0 * cpu / wall, stillShare, changes, first.handles, last.handles,
                first.gdiObjects, last.gdiObjects, first.userObjects, last.userObjects,
                first.privateBytes, last.privateBytes);
    EXPECT_GE(changes, 50u) << "it plays";
    EXPECT_LE(last.handles, first.handles + 5);
    EXPECT_LE(last.gdiObjects, first.gdiObjects + 5);
    EXPECT_LE(last.privateBytes, first.privateBytes + 4 * 1024 * 1024);
}

// The built-in skins: the default one is blue, "ember" (second in the upper row) is red and
// orange, "aurora" (third) dark green and teal.
bool Bluish(COLORREF c) {
    return GetBValue(c) > GetRValue(c) + 20;
}
bool Reddish(COLORREF c) {
    return GetRValue(c) > GetBValue(c) + 50;
}

TEST_F(AppEndToEnd, PointingAtAGalleryThumbnailPreviewsItLeavingPutsTheSkinBackAClickKeepsIt) {
    RemoveSkinFiles();
    // A built-in skin's file that is gone is written again; a cached thumbnail of no picture
    // shown goes.
    DeleteFileW(win::Widen(Path("skins\\ember.bmp")).c_str());
    const std::string stale = Path("thumbnails\\0123456789abcdef.thumb");
    ASSERT_TRUE(WriteFile(stale, "of a picture long gone"));
    Restart();
    EXPECT_EQ(FileBytes(stale), "<missing>");
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    ASSERT_TRUE(WaitFor([&] { return Bluish(OverlayPixel(x)); }, 3000))
        << std::hex << OverlayPixel(x);
    MoveTo(At(kHeader));
    MoveTo(At(GalleryCell(0, 1)));
    EXPECT_TRUE(WaitFor([&] { return Reddish(OverlayPixel(x)); }, 2000))
        << "no preview: " << std::hex << OverlayPixel(x);
    // The thumbnails show their skins; the one pointed at is framed in blue.
    RaiseOnScreen(app_.Options());
    Pump(200);
    // (Read until the raised window has been painted: under load that may take a while.)
    const POINT ember = At(GalleryCell(0, 1)), sand = At(GalleryCell(0, 6));
    EXPECT_TRUE(WaitFor([&] { return Reddish(ScreenPixel(ember.x, ember.y)); }, 2000))
        << std::hex << ScreenPixel(ember.x, ember.y);
    EXPECT_TRUE(WaitFor([&] { return GetRValue(ScreenPixel(sand.x, sand.y)) > 180; }, 2000))
        << std::hex << ScreenPixel(sand.x, sand.y);
    // Seven built-in skins: the upper row's last cell is empty, and no thumbnail spills into
    // it.
    const POINT empty = At(GalleryCell(0, 7));
    EXPECT_EQ(ScreenPixel(empty.x, empty.y), RGB(34, 34, 34));
    const POINT edge = At({kGallery.x + 47, kGallery.y + 16});
    EXPECT_EQ(ScreenPixel(edge.x + 1, edge.y), RGB(64, 156, 255));
    MoveTo(At(kHeader));
    EXPECT_TRUE(WaitFor([&] { return Bluish(OverlayPixel(x)); }, 2000))
        << "the kept skin did not come back: " << std::hex << OverlayPixel(x);
    EXPECT_FALSE(FileBytes(Path("lastskin.cfg")) != "<missing>") << "a preview was written";
    ClickAt(At(GalleryCell(0, 1)), Button::Left);
    MoveTo(At(kHeader));
    Pump(300);
    EXPECT_TRUE(Reddish(OverlayPixel(x))) << "not kept: " << std::hex << OverlayPixel(x);
    // The kept skin's thumbnail is framed in white, the others are not: the frame lies in the
    // two pixels inside each cell's edge.
    RaiseOnScreen(app_.Options());
    Pump(200);
    auto frame = [](int column) {
        POINT p = At({kGallery.x + column * 47, kGallery.y + 16});
        return ScreenPixel(p.x + 1, p.y);
    };
    EXPECT_EQ(frame(1), RGB(240, 244, 250));
    EXPECT_NE(frame(0), RGB(240, 244, 250));
    EXPECT_NE(frame(2), RGB(240, 244, 250));
    EXPECT_EQ(FileBytes(Path("lastskin.cfg")), Path("skins\\ember.bmp") + "\r\n");
    // No thumbnail spills into the borders below it and right of it (aurora's, neither
    // pointed nor kept).
    for (POINT border : {At({kGallery.x + 2 * 47 + 23, kGallery.y + 31}),
                         At({kGallery.x + 3 * 47 - 1, kGallery.y + 16})})
        EXPECT_EQ(ScreenPixel(border.x, border.y), RGB(20, 20, 20)) << border.x << ", " << border.y;
    // The built-in skin written again is the artwork's bitmap file as it was made.
    std::string artwork;
    ASSERT_TRUE(ReadFile(
        JoinPath(JoinPath(JoinPath(SourceDir(), "app"), "resources"), "skin-ember.bmp"), artwork));
    EXPECT_TRUE(FileBytes(Path("skins\\ember.bmp")) == artwork);
    // A picture chosen after a click shows: the click left no preview behind.
    Choose(Button::Left, Path("base-green.bmp"));
    EXPECT_TRUE(OverlayShows(x, kBaseGreen)) << std::hex << OverlayPixel(x);
    ClickAt(At(GalleryCell(0, 1)), Button::Left);
    MoveTo(At(kHeader));
    ASSERT_TRUE(WaitFor([&] { return Reddish(OverlayPixel(x)); }, 2000));
    Restart();
    EXPECT_TRUE(WaitFor([&] { return Reddish(OverlayPixel(x)); }, 3000))
        << "not kept across a restart: " << std::hex << OverlayPixel(x);
    // A skin kept while another is previewed shows at once, though the pointer still rests
    // on the previewed thumbnail ("Make Magnet" is pressed without the pointer).
    Click(ButtonNamed(L"Make Magnet"));
    ASSERT_TRUE(WaitFor([&] { return Bluish(OverlayPixel(x)); }, 2000));
    MoveTo(At(kHeader));
    MoveTo(At(GalleryCell(0, 1)));
    ASSERT_TRUE(WaitFor([&] { return Reddish(OverlayPixel(x)); }, 2000));
    Click(ButtonNamed(L"Make Magnet"));
    EXPECT_TRUE(WaitFor([&] { return Bluish(OverlayPixel(x)); }, 2000))
        << "the preview stayed over the kept skin: " << std::hex << OverlayPixel(x);
    MoveTo(At(kHeader));
}

// A picture chosen in the dialog comes first in the gallery's lower row; a picture that is
// gone drops out of it.
TEST_F(AppEndToEnd, PicturesUsedLastFillTheGallerysLowerRow) {
    RemoveSkinFiles();
    DeleteFileW(win::Widen(Path("Moirelle.ini")).c_str());
    Restart();
    const std::string picture = Path("recent-green.bmp");
    ASSERT_TRUE(
        CopyFileW(win::Widen(Path("base-green.bmp")).c_str(), win::Widen(picture).c_str(), FALSE));
    Choose(Button::Left, picture);
    const int x = GetSystemMetrics(SM_CXSCREEN) * 3 / 4;
    ASSERT_TRUE(OverlayShows(x, kBaseGreen));
    ClickAt(At(GalleryCell(0, 0)), Button::Left);
    ASSERT_TRUE(WaitFor([&] { return Bluish(OverlayPixel(x)); }, 2000));
    // Its thumbnail leads the lower row.
    RaiseOnScreen(app_.Options());
    Pump(200);
    const POINT first = At(GalleryCell(1, 0));
    EXPECT_EQ(ScreenPixel(first.x, first.y), kBaseGreen)
        << std::hex << ScreenPixel(first.x, first.y);
    MoveTo(At(GalleryCell(1, 0)));
    EXPECT_TRUE(OverlayShows(x, kBaseGreen)) << std::hex << OverlayPixel(x);
    MoveTo(At(kHeader));
    EXPECT_TRUE(WaitFor([&] { return Bluish(OverlayPixel(x)); }, 2000));
    ASSERT_TRUE(DeleteFileW(win::Widen(picture).c_str()));
    Restart();
    MoveTo(At(kHeader));
    MoveTo(At(GalleryCell(1, 0)));
    Pump(500);
    EXPECT_TRUE(Bluish(OverlayPixel(x)))
        << "a missing picture still shows: " << std::hex << OverlayPixel(x);
    MoveTo(At(kHeader));
}

// A real OLE drag from this process: a PNG with alpha dropped on the options window becomes
// the texture; a text file is refused with the no-drop cursor and changes nothing.
TEST_F(AppEndToEnd, ADroppedPngBecomesTheTextureAndATextFileIsRefused) {
    RemoveSkinFiles();
    Restart();
    const int screenW = GetSystemMetrics(SM_CXSCREEN);
    WriteFile(Path("notes.txt"), "no picture here");
    RaiseOnScreen(app_.Options());
    const DragOutcome refused =
        DragFiles({win::Widen(Path("notes.txt"))}, At(kHeader), At({120, 30}));
    EXPECT_EQ(refused.result, DRAGDROP_S_DROP);
    EXPECT_EQ(refused.effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_FALSE(refused.feedback.empty());
    for (DWORD e : refused.feedback)
        EXPECT_EQ(e, static_cast<DWORD>(DROPEFFECT_NONE));

    EXPECT_EQ(FileBytes(Path("FXskin.cfg")), "<missing>");
    EXPECT_EQ(FileBytes(Path("lastskin.cfg")), "<missing>");
    EXPECT_FALSE(OverlayPixel(screenW / 4) == kTextureRed);

    const DragOutcome dropped =
        DragFiles({win::Widen(Path("notes.txt")), win::Widen(Path("texture.png"))}, At(kHeader),
                  At({120, 30}));
    EXPECT_EQ(dropped.result, DRAGDROP_S_DROP);
    EXPECT_EQ(dropped.effect, static_cast<DWORD>(DROPEFFECT_COPY));
    ASSERT_FALSE(dropped.feedback.empty());
    EXPECT_EQ(dropped.feedback.back(), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(OverlayShows(screenW / 4, kTextureRed)) << std::hex << OverlayPixel(screenW / 4);
    EXPECT_EQ(FileBytes(Path("FXskin.cfg")), Path("texture.png") + "\r\n");
    EXPECT_EQ(FileBytes(Path("lastskin.cfg")), "<missing>") << "the base picture changed";
    // The picture dropped leads the pictures used.
    wchar_t first[MAX_PATH]{};
    GetPrivateProfileStringW(L"Recent", L"1", L"", first, MAX_PATH,
                             win::Widen(Path("Moirelle.ini")).c_str());
    EXPECT_EQ(win::Narrow(first), Path("texture.png"));
}
