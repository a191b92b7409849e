// The taskbar's states end to end: the program runs as its own process in a scratch folder
// of the shell desktop, and this test program maximises, restores, minimises and closes
// windows of its own, clicks the Start button, and reads each taskbar's layered alpha and
// the overlays' pixels from outside.
//
// Wine 8 raises hardly any window events itself (creation only); after each change the
// test raises the event Windows would raise (NotifyWinEvent), which reaches the program's
// out-of-context hook as the system's own would.

#include "tests/support/PngWriter.h"
#include "tests/support/ReaderSamples.h"
#include "tests/support/TestPaths.h"
#include "tools/shelldriver/FileDrag.h"
#include "tools/shelldriver/ProcessCost.h"
#include "tools/shelldriver/RunningApp.h"
#include "tools/shelldriver/ShellDesktop.h"

#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <gtest/gtest.h>
#include <wtsapi32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#ifndef MOIRELLE_APP_EXE
#define MOIRELLE_APP_EXE ""
#endif

using namespace moirelle;
using namespace moirelle::test;
using namespace moirelle::shelldriver;

namespace {

constexpr BYTE kStartAlpha = 155;
constexpr ULONGLONG kStateDelayMs = 200;
constexpr COLORREF kGreen = RGB(0, 160, 0);
constexpr COLORREF kBlue = RGB(0, 0, 200);
constexpr COLORREF kRed = RGB(255, 0, 0);

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Windows raises this as the window goes; Wine 8 does not.
    if (msg == WM_DESTROY) NotifyWinEvent(EVENT_OBJECT_DESTROY, hwnd, OBJID_WINDOW, CHILDID_SELF);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// An ordinary top-level window of this test program, the kind a user maximises.
class TestWindow {
  public:
    explicit TestWindow(DWORD style = WS_OVERLAPPEDWINDOW) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"MoirelleRulesTestWindow";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"rules", style, 100, 100, 300, 200, nullptr,
                                nullptr, wc.hInstance, nullptr);
        Pump(50);
    }
    ~TestWindow() { Close(); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Shows the window in the state and raises the events Windows raises for it.
    void Show(int command) {
        ShowWindow(hwnd_, command);
        if (command == SW_MINIMIZE) Raise(EVENT_SYSTEM_MINIMIZESTART);
        if (command == SW_RESTORE) Raise(EVENT_SYSTEM_MINIMIZEEND);
        Raise(command == SW_HIDE ? EVENT_OBJECT_HIDE : EVENT_OBJECT_SHOW);
        Raise(EVENT_OBJECT_LOCATIONCHANGE);
    }
    void Raise(DWORD event) { NotifyWinEvent(event, hwnd_, OBJID_WINDOW, CHILDID_SELF); }
    void Close() {
        if (hwnd_) DestroyWindow(std::exchange(hwnd_, nullptr));
    }

  private:
    HWND hwnd_ = nullptr;
};

BYTE AlphaOf(HWND hwnd) {
    auto l = LayeredOf(hwnd);
    return l ? l->alpha : 0;
}

// Milliseconds until the taskbar's alpha is `alpha`, or a bound well past kStateDelayMs.
ULONGLONG MsUntilAlpha(HWND taskbar, BYTE alpha) {
    ULONGLONG start = GetTickCount64();
    if (!WaitFor([&] { return AlphaOf(taskbar) == alpha; }, 3000)) return 99999;
    return GetTickCount64() - start;
}

// A 24-bit bitmap of one colour.
std::string SolidBmp(int w, int h, COLORREF c) {
    Bytes rows;
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            rows.insert(rows.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
        rows.resize((y + 1) * stride, 0);
    }
    Bytes b = BuildBmp(w, h, 24, 0, rows);
    return std::string(b.begin(), b.end());
}

// How many times each of the screen rows changed, watched together for `ms`.
std::vector<int> RowChanges(const std::vector<RECT>& rows, DWORD ms) {
    std::vector<uint64_t> last;
    for (const RECT& r : rows)
        last.push_back(ScreenRowHash(r.left, r.right, r.top));
    std::vector<int> changes(rows.size(), 0);
    const ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < ms) {
        Pump(10);
        for (size_t i = 0; i < rows.size(); ++i) {
            const uint64_t now = ScreenRowHash(rows[i].left, rows[i].right, rows[i].top);
            changes[i] += now != last[i];
            last[i] = now;
        }
    }
    return changes;
}

// The windows of the process with the class, hidden ones too.
std::vector<HWND> WindowsOfClass(DWORD processId, const wchar_t* className) {
    struct Search {
        DWORD processId;
        const wchar_t* className;
        std::vector<HWND> found;
    } search{processId, className, {}};
    EnumWindows(
        [](HWND w, LPARAM l) -> BOOL {
            auto* s = reinterpret_cast<Search*>(l);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            wchar_t name[64]{};
            GetClassNameW(w, name, 64);
            if (owner == s->processId && std::wcscmp(name, s->className) == 0)
                s->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

class DesktopRules : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string exe = MOIRELLE_APP_EXE;
        if (exe.empty()) return;
        SetProcessDPIAware();
        if (!WaitFor([] { return Taskbar() && IsWindowVisible(Taskbar()); }, 30000)) return;
        SetWindowPos(Taskbar(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        folder_ = MakeTempDir("moirelle rules");
        if (exe[0] == '/') exe = "Z:" + exe;
        std::replace(exe.begin(), exe.end(), '/', '\\');
        exe_ = win::Widen(folder_) + L"\\Moirelle_Portable.exe";
        if (!CopyFileW(win::Widen(exe).c_str(), exe_.c_str(), FALSE)) return;
        WriteFile(Path("green.bmp"), SolidBmp(16, 8, kGreen));
        WriteFile(Path("blue.bmp"), SolidBmp(16, 8, kBlue));
        ready_ = true;
    }
    static void TearDownTestSuite() {
        app_.Kill();
        if (HWND taskbar = Taskbar()) {
            SetWindowLongPtrW(taskbar, GWL_EXSTYLE,
                              GetWindowLongPtrW(taskbar, GWL_EXSTYLE) & ~WS_EX_LAYERED);
            SetWindowPos(taskbar, HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    void SetUp() override {
        if (!ready_) GTEST_SKIP() << "no executable or no shell desktop";
        DeleteFileW(Settings().c_str());
    }
    void TearDown() override { app_.Kill(); }

    static std::string Path(const std::string& name) { return JoinPath(folder_, name); }
    static std::wstring Settings() { return win::Widen(Path("Moirelle.ini")); }
    static void Start() { ASSERT_TRUE(app_.Start(exe_)) << "the program did not come up"; }
    static void WriteSettings(const std::wstring& text) {
        std::string bytes("\xFF\xFE", 2);
        bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        ASSERT_TRUE(WriteFile(Path("Moirelle.ini"), bytes));
    }
    // The sample animation as the stand-in secondary taskbar's own base picture and as the
    // shared one, for the next start.
    static void AnimateBothTaskbars() {
        WriteSettings(L"[General]\r\nSameOnEveryTaskbar=0\r\n"
                      L"[Taskbar \\\\.\\DISPLAY1#2]\r\nBase=\"" +
                      win::Widen(Path("skin-shimmer.gif")) + L"\"\r\nTexture=\"\"\r\n");
        ASSERT_TRUE(WriteFile(Path("lastskin.cfg"), Path("skin-shimmer.gif") + "\r\n"));
    }
    static std::wstring SettingsValue(const wchar_t* section, const wchar_t* key) {
        wchar_t value[256]{};
        GetPrivateProfileStringW(section, key, L"<none>", value, 256, Settings().c_str());
        return value;
    }

    // The taskbar list's label at the top right of the options window: a click chooses the
    // next entry (all taskbars, the first, the second, ... and all again).
    static void NextTaskbar() {
        ClickAt(OptionsPoint(360, 16), Button::Left);
        Pump(600);
    }
    // A point of the options window given in its pixels at 96 dpi, on the screen.
    static POINT OptionsPoint(int x, int y) {
        win::WindowDC screen(nullptr);
        const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSX);
        return app_.OptionsPoint(MulDiv(x, dpi, 96), MulDiv(y, dpi, 96));
    }
    // Chooses a base picture through the open-file dialog, opened by a real click on the
    // preview.
    static void ChooseBase(const std::string& path) {
        ClickAt(OptionsPoint(204, 58), Button::Left);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (dialog = app_.Find(L"#32770")) != nullptr; }));
        Pump(300);
        HWND name = GetDlgItem(dialog, 0x47C);
        ASSERT_NE(name, nullptr);
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(win::Widen(path).c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        ASSERT_TRUE(WaitFor([] { return app_.Find(L"#32770") == nullptr; }));
        Pump(300);
    }

    static inline RunningApp app_;
    static inline std::string folder_;
    static inline std::wstring exe_;
    static inline bool ready_ = false;
};

// The default rules: a maximised window makes the taskbar opaque; restored, minimised or
// closed, it gives the taskbar back its normal opacity.
TEST_F(DesktopRules, AMaximisedWindowMakesTheTaskbarOpaqueUntilItIsRestoredMinimisedOrClosed) {
    Start();
    TestWindow window;
    window.Show(SW_MAXIMIZE);
    EXPECT_LE(MsUntilAlpha(Taskbar(), 255), kStateDelayMs) << "maximised";
    window.Show(SW_RESTORE);
    EXPECT_LE(MsUntilAlpha(Taskbar(), kStartAlpha), kStateDelayMs) << "restored";
    window.Show(SW_MAXIMIZE);
    ASSERT_LE(MsUntilAlpha(Taskbar(), 255), kStateDelayMs);
    window.Show(SW_MINIMIZE);
    EXPECT_LE(MsUntilAlpha(Taskbar(), kStartAlpha), kStateDelayMs) << "minimised";
    window.Show(SW_MAXIMIZE);
    ASSERT_LE(MsUntilAlpha(Taskbar(), 255), kStateDelayMs);
    window.Close();
    EXPECT_LE(MsUntilAlpha(Taskbar(), kStartAlpha), kStateDelayMs) << "closed";
    // A change whose event is lost is still seen: the windows that count are looked at
    // again on the placement timer.
    TestWindow quiet;
    quiet.Show(SW_MAXIMIZE);
    ASSERT_LE(MsUntilAlpha(Taskbar(), 255), kStateDelayMs);
    ShowWindow(quiet.hwnd(), SW_HIDE);
    EXPECT_LE(MsUntilAlpha(Taskbar(), kStartAlpha), kStateDelayMs) << "hidden without an event";
    // Restored, the taskbar stays as the shell has it whatever the windows do.
    SendMessageW(ChildWithText(app_.Options(), L"Button", L"Restore"), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([] { return !LayeredOf(Taskbar()); }, 2000));
    quiet.Show(SW_MAXIMIZE);
    Pump(300);
    EXPECT_FALSE(LayeredOf(Taskbar())) << "a state made the restored taskbar translucent";
}

// A window maximised before the program starts counts from the start: the maximised
// state's own skin shows at once, and goes with the window.
TEST_F(DesktopRules, AWindowMaximisedBeforeTheStartCountsFromTheStart) {
    WriteSettings(L"[All taskbars]\r\nMaximisedAlpha=\"\"\r\nMaximisedBase=\"" +
                  win::Widen(Path("green.bmp")) + L"\"\r\n");
    TestWindow window;
    window.Show(SW_MAXIMIZE);
    Start();
    EXPECT_TRUE(WaitFor([] { return ScreenPixel(300, 758) == kGreen; }, 1000))
        << std::hex << ScreenPixel(300, 758);
    window.Close();
    EXPECT_TRUE(WaitFor([] { return ScreenPixel(300, 758) != kGreen; }, 1000));
}

// A window that is maximised but not shown changes nothing until it shows.
TEST_F(DesktopRules, AnInvisibleMaximisedWindowChangesNothing) {
    Start();
    TestWindow window(WS_OVERLAPPEDWINDOW | WS_MAXIMIZE);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(window.hwnd(), nullptr, work.left, work.top, work.right - work.left,
                 work.bottom - work.top, SWP_NOZORDER | SWP_NOACTIVATE);
    window.Raise(EVENT_OBJECT_LOCATIONCHANGE);
    window.Raise(EVENT_SYSTEM_FOREGROUND);
    Pump(500);
    EXPECT_EQ(AlphaOf(Taskbar()), kStartAlpha);
    window.Show(SW_SHOWMAXIMIZED);
    EXPECT_LE(MsUntilAlpha(Taskbar(), 255), kStateDelayMs) << "shown";
}

// The rules can be turned off in the settings file: the taskbar then keeps its opacity.
TEST_F(DesktopRules, WithRulesOffAMaximisedWindowChangesNothing) {
    WriteSettings(L"[General]\r\nRules=0\r\n");
    Start();
    TestWindow window;
    window.Show(SW_MAXIMIZE);
    Pump(500);
    EXPECT_EQ(AlphaOf(Taskbar()), kStartAlpha);
}

// Two taskbars, each with its own skin and rules: the stand-in secondary taskbar shows its
// own picture, and its maximised state changes nothing while the primary one turns opaque.
TEST_F(DesktopRules, TwoTaskbarsKeepTheirOwnSkinsAndRules) {
    const RECT place{100, 600, 700, 630};
    auto secondary =
        std::make_unique<ColourWindow>(L"Shell_SecondaryTrayWnd", place, RGB(20, 20, 20));
    // Both lie on the desktop's one monitor; the second taskbar found there is told apart
    // by a number.
    WriteSettings(L"[General]\r\nSameOnEveryTaskbar=1\r\n"
                  L"[Taskbar \\\\.\\DISPLAY1#2]\r\nBase=\"" +
                  win::Widen(Path("green.bmp")) + L"\"\r\nTexture=\"\"\r\nMaximisedAlpha=\"\"\r\n");
    Start();
    // Every taskbar shows the same until the options window edits one of them.
    ASSERT_TRUE(WaitFor([&] { return AlphaOf(secondary->hwnd()) == kStartAlpha; }, 2000));
    EXPECT_NE(ScreenPixel(400, 615), kGreen);
    // The taskbar list: all, the primary, the secondary.
    NextTaskbar();
    NextTaskbar();
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(400, 615) == kGreen; }, 2000))
        << std::hex << ScreenPixel(400, 615);
    EXPECT_NE(ScreenPixel(900, 758), kGreen) << "the primary overlay took the other's skin";
    EXPECT_EQ(SettingsValue(L"General", L"SameOnEveryTaskbar"), L"0");
    TestWindow window;
    window.Show(SW_MAXIMIZE);
    EXPECT_LE(MsUntilAlpha(Taskbar(), 255), kStateDelayMs);
    Pump(300);
    EXPECT_EQ(AlphaOf(secondary->hwnd()), kStartAlpha) << "its rule changes nothing";
    window.Close();
    EXPECT_LE(MsUntilAlpha(Taskbar(), kStartAlpha), kStateDelayMs);
    // Across a restart each keeps its own.
    app_.Kill();
    Start();
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(400, 615) == kGreen; }, 2000));
    TestWindow again;
    again.Show(SW_MAXIMIZE);
    EXPECT_LE(MsUntilAlpha(Taskbar(), 255), kStateDelayMs);
    Pump(300);
    EXPECT_EQ(AlphaOf(secondary->hwnd()), kStartAlpha);
}

// A picture chosen while one taskbar is edited goes to that taskbar alone and into the
// settings file, not into the shared skin files; back at "All taskbars" every taskbar shows
// the shared skin again.
TEST_F(DesktopRules, APictureChosenForOneTaskbarGoesToItAlone) {
    DeleteFileW(win::Widen(Path("lastskin.cfg")).c_str());
    auto secondary = std::make_unique<ColourWindow>(L"Shell_SecondaryTrayWnd",
                                                    RECT{100, 600, 700, 630}, RGB(20, 20, 20));
    Start();
    ASSERT_TRUE(WaitFor([&] { return AlphaOf(secondary->hwnd()) == kStartAlpha; }, 2000));
    NextTaskbar();
    NextTaskbar();
    ChooseBase(Path("blue.bmp"));
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(400, 615) == kBlue; }, 2000))
        << std::hex << ScreenPixel(400, 615);
    EXPECT_NE(ScreenPixel(900, 758), kBlue);
    EXPECT_EQ(GetFileAttributesW(win::Widen(Path("lastskin.cfg")).c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(SettingsValue(L"Taskbar \\\\.\\DISPLAY1#2", L"Base"), win::Widen(Path("blue.bmp")));
    NextTaskbar();
    EXPECT_EQ(SettingsValue(L"General", L"SameOnEveryTaskbar"), L"1");
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(400, 615) != kBlue; }, 2000));
    // The taskbar's own skin is kept for when it is edited again.
    EXPECT_EQ(SettingsValue(L"Taskbar \\\\.\\DISPLAY1#2", L"Base"), win::Widen(Path("blue.bmp")));
}

// A picture dropped on a secondary taskbar's overlay becomes that taskbar's own skin (a
// bitmap its base picture under the shared texture, a PNG with alpha its texture); the
// primary taskbar and the shared skin files stay as they were, and the options window now
// edits that taskbar.
TEST_F(DesktopRules, APictureDroppedOnASecondaryOverlayBecomesThatTaskbarsOwnSkin) {
    // Red over the left half, or over the top half, of a 16 x 4 texture.
    auto halfRed = [](bool top) {
        PngSpec half;
        half.width = 16;
        half.height = 4;
        for (uint32_t y = 0; y < half.height; ++y)
            for (uint32_t x = 0; x < half.width; ++x) {
                const uint8_t red = (top ? y < 2 : x < 8) ? 255 : 0;
                half.pixels.insert(half.pixels.end(), {red, 0, 0, red});
            }
        const Bytes png = EncodePng(half);
        return std::string(png.begin(), png.end());
    };
    ASSERT_TRUE(WriteFile(Path("left-red.png"), halfRed(false)));
    ASSERT_TRUE(WriteFile(Path("top-red.png"), halfRed(true)));
    // The shared skin: yellow under the top-red texture.
    ASSERT_TRUE(WriteFile(Path("yellow.bmp"), SolidBmp(16, 8, RGB(200, 200, 0))));
    const std::string sharedBase = Path("yellow.bmp") + "\r\n",
                      sharedTexture = Path("top-red.png") + "\r\n";
    ASSERT_TRUE(WriteFile(Path("lastskin.cfg"), sharedBase));
    ASSERT_TRUE(WriteFile(Path("FXskin.cfg"), sharedTexture));
    const RECT place{100, 600, 700, 630};
    auto secondary =
        std::make_unique<ColourWindow>(L"Shell_SecondaryTrayWnd", place, RGB(20, 20, 20));
    Start();
    ASSERT_TRUE(WaitFor([&] { return AlphaOf(secondary->hwnd()) == kStartAlpha; }, 2000));
    // Wine draws the overlay over its taskbar; the stand-in (layered by now) lets the pointer
    // through to it, so that the drop lands where the skin is seen.
    SetWindowLongPtrW(secondary->hwnd(), GWL_EXSTYLE,
                      GetWindowLongPtrW(secondary->hwnd(), GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    // The texture's 4 rows stretched over the overlay's 30: the top-red one is red down to
    // about row 611 and clear from 619, the left-red one red down to 622 (its lower edge
    // fades out below).
    // The files come from a window of this program's own, as from a file manager.
    ColourWindow source(L"MoirelleDragSource", RECT{880, 300, 1000, 400}, RGB(200, 200, 200));
    RaiseOnScreen(source.hwnd());
    const POINT from{940, 350}, leftLow{250, 621}, rightLow{550, 621}, rightHigh{550, 605};
    DWORD owner = 0;
    GetWindowThreadProcessId(WindowFromPoint(leftLow), &owner);
    ASSERT_EQ(owner, app_.Id()) << "the overlay is not under the pointer";
    auto pixel = [](POINT p) { return ScreenPixel(p.x, p.y); };
    ASSERT_TRUE(WaitFor([&] { return pixel(rightHigh) == kRed; }, 2000)) << "no shared texture";
    const COLORREF primaryBefore = ScreenPixel(300, 758);

    const DragOutcome base = DragFiles({win::Widen(Path("green.bmp"))}, from, rightLow);
    EXPECT_EQ(base.effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(WaitFor([&] { return pixel(rightLow) == kGreen; }, 2000))
        << std::hex << pixel(rightLow);
    EXPECT_EQ(pixel(rightHigh), kRed) << "the shared texture stays over the new base";
    const DragOutcome texture = DragFiles({win::Widen(Path("left-red.png"))}, from, leftLow);
    EXPECT_EQ(texture.effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(WaitFor([&] { return pixel(leftLow) == kRed; }, 2000))
        << std::hex << pixel(leftLow);
    EXPECT_EQ(pixel(rightLow), kGreen);
    EXPECT_EQ(pixel(rightHigh), kGreen) << "the shared texture was not replaced";

    EXPECT_EQ(ScreenPixel(300, 758), primaryBefore) << "the primary taskbar changed";
    auto fileText = [](const std::string& path) {
        std::string text;
        return ReadFile(path, text) ? text : std::string("<missing>");
    };
    EXPECT_EQ(fileText(Path("lastskin.cfg")), sharedBase);
    EXPECT_EQ(fileText(Path("FXskin.cfg")), sharedTexture);
    EXPECT_EQ(SettingsValue(L"General", L"SameOnEveryTaskbar"), L"0");
    EXPECT_EQ(SettingsValue(L"Taskbar \\\\.\\DISPLAY1#2", L"Texture"),
              win::Widen(Path("left-red.png")));
    EXPECT_EQ(SettingsValue(L"Taskbar \\\\.\\DISPLAY1#2", L"Base"), win::Widen(Path("green.bmp")));
    // The options window edits that taskbar now: a picture chosen goes to it as well.
    ChooseBase(Path("blue.bmp"));
    EXPECT_TRUE(WaitFor([&] { return pixel(rightLow) == kBlue; }, 2000))
        << std::hex << pixel(rightLow);
    EXPECT_EQ(fileText(Path("lastskin.cfg")), sharedBase);
    for (const char* name : {"lastskin.cfg", "FXskin.cfg"})
        DeleteFileW(win::Widen(Path(name)).c_str());
}

// A taskbar's own animated base picture plays on its overlay alone while the primary shows
// a still one; with the shared picture animated too, both play on the program's one clock.
TEST_F(DesktopRules, ATaskbarsOwnAnimatedSkinPlaysBesideAStillOrAnimatedOne) {
    std::string gif;
    ASSERT_TRUE(ReadFile(JoinPath(JoinPath(SourceDir(), "samples"), "skin-shimmer.gif"), gif));
    ASSERT_TRUE(WriteFile(Path("skin-shimmer.gif"), gif));
    DeleteFileW(win::Widen(Path("lastskin.cfg")).c_str());
    auto secondary = std::make_unique<ColourWindow>(L"Shell_SecondaryTrayWnd",
                                                    RECT{100, 600, 700, 630}, RGB(20, 20, 20));
    WriteSettings(L"[General]\r\nSameOnEveryTaskbar=0\r\n"
                  L"[Taskbar \\\\.\\DISPLAY1#2]\r\nBase=\"" +
                  win::Widen(Path("skin-shimmer.gif")) + L"\"\r\nTexture=\"\"\r\n");
    Start();
    ASSERT_TRUE(WaitFor([&] { return AlphaOf(secondary->hwnd()) == kStartAlpha; }, 2000));
    Pump(500);
    // The sample changes about 10 times a second (one frame rests 320 ms): over 3 s, at
    // least 10 changes (the light crosses the row in part of each round).
    const std::vector<RECT> rows{{110, 615, 690, 616}, {80, 758, 900, 759}};
    std::vector<int> changes = RowChanges(rows, 3000);
    EXPECT_GE(changes[0], 10) << "the secondary taskbar's own animation plays";
    EXPECT_EQ(changes[1], 0) << "the primary taskbar's still picture stays still";
    const std::vector<HWND> clock = WindowsOfClass(app_.Id(), L"MoirelleAnimationClock");
    ASSERT_EQ(clock.size(), 1u);
    // While the session is locked it rests, and goes on when it is unlocked. (Wine tells no
    // window of lock changes; the test brings the program the message Windows sends.)
    PostMessageW(clock[0], WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
    Pump(300);
    EXPECT_EQ(RowChanges(rows, 1500)[0], 0) << "locked, it rests";
    PostMessageW(clock[0], WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_GE(RowChanges(rows, 3000)[0], 10) << "unlocked, it plays on";
    // A still picture chosen for that taskbar takes the animation's place: with no animation
    // left, the clock and its window go.
    NextTaskbar();
    NextTaskbar();
    ChooseBase(Path("blue.bmp"));
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(400, 615) == kBlue; }, 2000))
        << std::hex << ScreenPixel(400, 615);
    EXPECT_TRUE(
        WaitFor([&] { return WindowsOfClass(app_.Id(), L"MoirelleAnimationClock").empty(); }, 2000))
        << "the old animation is gone";
    EXPECT_EQ(RowChanges(rows, 1000)[0], 0);

    // The shared picture animated as well: both play, still on one clock.
    app_.Kill();
    ASSERT_NO_FATAL_FAILURE(AnimateBothTaskbars());
    Start();
    ASSERT_TRUE(WaitFor([&] { return AlphaOf(secondary->hwnd()) == kStartAlpha; }, 2000));
    Pump(500);
    changes = RowChanges(rows, 3000);
    EXPECT_GE(changes[0], 10) << "the secondary taskbar's own animation plays";
    EXPECT_GE(changes[1], 10) << "the shared animation plays on the primary taskbar";
    EXPECT_EQ(WindowsOfClass(app_.Id(), L"MoirelleAnimationClock").size(), 1u);
    DeleteFileW(win::Widen(Path("lastskin.cfg")).c_str());
}

// What two animations at once cost over a long run (not part of the usual run; set
// MOIRELLE_ANIMATION_SOAK_SECONDS): the shared picture animated on the primary taskbar and
// a stand-in secondary's own, the program's CPU time over all its threads and its private
// bytes at the start and the end.
TEST_F(DesktopRules, TwoAnimationsOverALongRun) {
    const char* env = std::getenv("MOIRELLE_ANIMATION_SOAK_SECONDS");
    if (!env) GTEST_SKIP() << "set MOIRELLE_ANIMATION_SOAK_SECONDS to measure";
    const int seconds = std::max(10, std::atoi(env));
    std::string gif;
    ASSERT_TRUE(ReadFile(JoinPath(JoinPath(SourceDir(), "samples"), "skin-shimmer.gif"), gif));
    ASSERT_TRUE(WriteFile(Path("skin-shimmer.gif"), gif));
    auto secondary = std::make_unique<ColourWindow>(L"Shell_SecondaryTrayWnd",
                                                    RECT{100, 600, 700, 630}, RGB(20, 20, 20));
    ASSERT_NO_FATAL_FAILURE(AnimateBothTaskbars());
    Start();
    ASSERT_TRUE(WaitFor([&] { return AlphaOf(secondary->hwnd()) == kStartAlpha; }, 2000));
    Pump(2000);
    ASSERT_TRUE(FootprintOf(app_.Id()).opened);
    auto privateBytes = [&] { return FootprintOf(app_.Id()).privateBytes; };
    auto cpuSeconds = [&] { return ProcessCpuSeconds(app_.Id()); };
    const std::vector<RECT> rows{{110, 615, 690, 616}, {80, 758, 900, 759}};
    const size_t first = privateBytes();
    const double cpu0 = cpuSeconds();
    const ULONGLONG t0 = GetTickCount64();
    const std::vector<int> changes = RowChanges(rows, 3000);
    std::vector<size_t> memory{first};
    for (int minute = 1; GetTickCount64() - t0 < static_cast<ULONGLONG>(seconds) * 1000;) {
        Pump(1000);
        if (GetTickCount64() - t0 >= static_cast<ULONGLONG>(minute) * 60000) {
            memory.push_back(privateBytes());
            ++minute;
        }
    }
    const double cpu = cpuSeconds() - cpu0;
    const double wall = (GetTickCount64() - t0) / 1000.0;
    const size_t last = privateBytes();
    std::printf("two animations for %.0f s: %.2f %% of one core; %d and %d changes in the first "
                "3 s; private bytes %zu -> %zu (each minute:",
                wall, 100.0 * cpu / wall, changes[0], changes[1], first, last);
    for (size_t m : memory)
        std::printf(" %zu", m);
    std::printf(")\n");
    EXPECT_GE(changes[0], 10) << "the secondary taskbar's own animation plays";
    EXPECT_GE(changes[1], 10) << "the shared animation plays on the primary taskbar";
    EXPECT_LE(last, first + 4 * 1024 * 1024);
    DeleteFileW(win::Widen(Path("lastskin.cfg")).c_str());
}

// The Start button's menu, opened by a real click: the start-menu state applies while it is
// open. Wine's shell shows its own popup menu standing on the Start button; another process
// sees it appear (a window-creation event) and can ask whether it is still visible.
TEST_F(DesktopRules, TheStartMenuStateLastsWhileTheStartMenuIsOpen) {
    WriteSettings(L"[All taskbars]\r\nStartMenuAlpha=60\r\n");
    Start();
    // The overlay is drawn over the taskbar on Wine's screen and would take the click.
    RaiseOnScreen(Taskbar());
    HWND button = FindWindowExW(Taskbar(), nullptr, L"Button", nullptr);
    ASSERT_NE(button, nullptr);
    RECT r = WindowRect(button);
    // The shell's own speed is not the program's: the time counts from the menu's showing.
    auto menuShown = [] {
        DWORD shell = 0, pid = 0;
        GetWindowThreadProcessId(Taskbar(), &shell);
        for (HWND m = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); m;
             m = FindWindowExW(nullptr, m, L"#32768", nullptr))
            if (GetWindowThreadProcessId(m, &pid) && pid == shell && IsWindowVisible(m))
                return true;
        return false;
    };
    ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2}, Button::Left);
    ASSERT_TRUE(WaitFor(menuShown, 3000)) << "no start menu";
    EXPECT_LE(MsUntilAlpha(Taskbar(), 60), kStateDelayMs) << "opened";
    // A click on the desktop closes the menu (one on another program's window does not, in
    // Wine's shell).
    ClickAt({900, 100}, Button::Left);
    ASSERT_TRUE(WaitFor([&] { return !menuShown(); }, 3000)) << "the menu stayed";
    EXPECT_LE(MsUntilAlpha(Taskbar(), kStartAlpha), kStateDelayMs) << "closed";
}

// A damaged settings file: the program starts with the defaults and writes a sound file at
// its next save.
TEST_F(DesktopRules, ACorruptSettingsFileStartsWithDefaults) {
    ASSERT_TRUE(
        WriteFile(Path("Moirelle.ini"), std::string("\x89PNG\r\n\x1a\n\0[[]]\xFF\xFE=", 18)));
    Start();
    TestWindow window;
    window.Show(SW_MAXIMIZE);
    EXPECT_LE(MsUntilAlpha(Taskbar(), 255), kStateDelayMs);
    window.Close();
    NextTaskbar();
    EXPECT_TRUE(
        WaitFor([&] { return SettingsValue(L"General", L"SameOnEveryTaskbar") == L"0"; }, 2000));
    EXPECT_EQ(SettingsValue(L"All taskbars", L"MaximisedAlpha"), L"255");
}

// A write that fails (another program holds the file open without sharing, so it cannot be
// replaced) keeps the old file; the program goes on with what it read.
TEST_F(DesktopRules, ASettingsWriteThatFailsKeepsTheOldFile) {
    WriteSettings(L"[General]\r\nSameOnEveryTaskbar=1\r\n[All taskbars]\r\nMaximisedAlpha=240\r\n");
    std::string before;
    ASSERT_TRUE(ReadFile(Path("Moirelle.ini"), before));
    Start();
    {
        win::UniqueFile held(CreateFileW(Settings().c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        NextTaskbar();
        EXPECT_TRUE(app_.Running());
    }
    std::string after;
    ASSERT_TRUE(ReadFile(Path("Moirelle.ini"), after));
    EXPECT_EQ(after, before);
    TestWindow window;
    window.Show(SW_MAXIMIZE);
    EXPECT_LE(MsUntilAlpha(Taskbar(), 240), kStateDelayMs);
}
