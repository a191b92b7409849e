// The application's rules that need no running program: skin file values, the dialog's
// filter list, the run-at-logon data, taskbar geometry and the overlay's placement.

#include "app/LayeredWindows.h"
#include "app/ShellWatcher.h"
#include "app/ShowOpenDialog.h"
#include "app/SkinFile.h"
#include "app/StartButton.h"
#include "app/TaskbarPlacement.h"
#include "app/clsAlpha.h"
#include "app/modStartWithWindows.h"
#include "app/modTray.h"
#include "forms/ScaleMode.h"

#include "platform/win/Text.h"
#include "tests/support/TestPaths.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using namespace moirelle::app;

TEST(SkinFileValue, TakesTheWholeFirstLineOrTheQuotedField) {
    using namespace std::string_literals;
    struct Case {
        std::string content;
        std::optional<std::string> value;
    } cases[] = {
        {"C:\\skins\\a,b\\sky.png\r\n", "C:\\skins\\a,b\\sky.png"},
        {"  C:\\lead.bmp\r\n", "  C:\\lead.bmp"},
        {"C:\\nul.bmp\0\r\n"s, "C:\\nul.bmp"},
        {"C:\\lf.bmp\nsecond\n", "C:\\lf.bmp"},
        {"C:\\no-end.bmp", "C:\\no-end.bmp"},
        {"\"C:\\quoted, too.bmp\",rest\r\n", "C:\\quoted, too.bmp"},
        {"\r\nC:\\second-line.bmp\r\n", ""},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SkinValueOf(c.content), c.value) << c.content;
}

TEST(SkinFileValue, PathsAreFolderBackslashName) {
    EXPECT_EQ(SkinFilePath("C:\\Tools", kBaseSkinFile), "C:\\Tools\\lastskin.cfg");
    EXPECT_EQ(SkinFilePath("C:\\", kTextureSkinFile), "C:\\\\FXskin.cfg");
}

// Greek and Thai together fit no ANSI code page but UTF-8 itself.
TEST(SkinFileText, APathTheAnsiCodePageCannotHoldRoundTripsAsMarkedUtf8) {
    const std::string file =
        moirelle::test::JoinPath(moirelle::test::MakeTempDir("skin text"), "s.cfg");
    const std::string plain = "C:\\skins\\plain, sky.bmp";
    const std::string foreign = "C:\\skins\\\xCE\xA9\xE0\xB8\x81\\sky.png";
    const bool utf8System = GetACP() == CP_UTF8;
    std::string bytes;
    ASSERT_TRUE(WriteSkinFile(file, plain));
    ASSERT_TRUE(moirelle::test::ReadFile(file, bytes));
    EXPECT_EQ(bytes, plain + "\r\n");
    ASSERT_TRUE(WriteSkinFile(file, foreign));
    ASSERT_TRUE(moirelle::test::ReadFile(file, bytes));
    EXPECT_EQ(bytes, (utf8System ? "" : "\xEF\xBB\xBF") + foreign + "\r\n");
    EXPECT_EQ(ReadSkinFile(file), foreign);
    // Without the mark the bytes are ANSI: 0xE9 is e acute in the Western code page.
    if (GetACP() == 1252) {
        ASSERT_TRUE(moirelle::test::WriteFile(file, "C:\\caf\xE9.bmp\r\n"));
        EXPECT_EQ(ReadSkinFile(file), "C:\\caf\xC3\xA9.bmp");
    }
    ASSERT_TRUE(moirelle::test::WriteFile(file, "\xEF\xBB\xBF\"C:\\caf\xC3\xA9.bmp\",x\r\n"));
    EXPECT_EQ(ReadSkinFile(file), "C:\\caf\xC3\xA9.bmp");
}

TEST(OpenDialogFilter, BarsBecomeNulsAndTheListEndsWithTwo) {
    using namespace std::string_literals;
    EXPECT_EQ(FilterList("Pngs|*.png"), L"Pngs\0*.png\0"s);
    EXPECT_EQ(FilterList("All Supported Types|*.bmp;*.gif;*.jpg|"),
              L"All Supported Types\0*.bmp;*.gif;*.jpg\0"s);
}

TEST(RunAtLogon, DataIsTheExecutablePathQuotedWhenItHoldsASpace) {
    EXPECT_EQ(RunValueData("C:\\Tools", "Moirelle_Portable"), "C:\\Tools\\Moirelle_Portable.exe");
    EXPECT_EQ(RunValueData("C:\\My Tools", "Moirelle_Portable"),
              "\"C:\\My Tools\\Moirelle_Portable.exe\"");
    EXPECT_EQ(RunValueData("D:\\", "renamed"), "D:\\\\renamed.exe");
}

TEST(TaskbarGeometry, TwipsAreRoundedProductsAndHoldLargeScreens) {
    // A 30-pixel taskbar at the bottom of a 1024 x 768 screen at 96 dpi.
    EXPECT_EQ(MakeTaskbarRect({0, 738, 1024, 768}, true, 15, 15),
              (TaskbarRect{0, 11070, 450, 15360}));
    EXPECT_EQ(MakeTaskbarRect({0, 738, 1024, 768}, false, 15, 15), (TaskbarRect{0, 738, 30, 1024}));
    // 3840 x 2160 at 96 dpi: far beyond 16-bit twips.
    EXPECT_EQ(MakeTaskbarRect({0, 2112, 3840, 2160}, true, 15, 15),
              (TaskbarRect{0, 31680, 720, 57600}));
    // 144 dpi: 10 twips per pixel; 6.6 twips round to nearest.
    EXPECT_EQ(MakeTaskbarRect({3, 1, 7, 2}, true, 6.6, 6.6), (TaskbarRect{20, 7, 7, 26}));
    EXPECT_EQ(WorkAreaBottomGap(11520, 748, 15), 300);
    EXPECT_EQ(WorkAreaBottomGap(32400, 2112, 15), 720);
    EXPECT_EQ(WorkAreaBottomGap(10800, 1040, 10), 400);
    EXPECT_EQ(WorkAreaBottomGap(10800, 1040, 0), 0);
}

TEST(OverlayPlacement, FollowsTopAndNearBottomTaskbarsOnly) {
    const int32_t screen = 11520, tolerance = 2925;
    const OverlayPlace start{0, 11250, 15360, 300};
    struct Case {
        const char* what;
        TaskbarRect taskbar;
        OverlayPlace expected;
    } cases[] = {
        {"bottom", {0, 11070, 450, 15360}, {0, 11070, 15360, 450}},
        {"top edge", {0, 0, 300, 15360}, {0, 0, 15360, 300}},
        {"docked left", {0, 0, 11520, 900}, {0, 0, 900, 11520}},
        {"docked right, hidden but 30 twips", {14430, 0, 11520, 900}, {14430, 0, 900, 11520}},
        {"hidden at the top", {0, -270, 300, 15360}, {0, -270, 15360, 300}},
        {"hidden at the bottom", {0, 11490, 300, 15360}, {0, 11490, 15360, 300}},
        {"narrower, at the bottom", {600, 11070, 450, 9000}, {600, 11070, 9000, 450}},
        {"too far above the bottom", {0, 8000, 600, 15360}, start},
        {"just within the tolerance",
         {0, screen - tolerance, 600, 15360},
         {0, screen - 600, 15360, 600}},
        {"no taskbar", {0, 0, 0, 0}, {0, 0, 15360, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceOverlay(c.taskbar, screen, tolerance, start), c.expected) << c.what;
}

TEST(WatcherCommandLine, OnlyTheArgumentAndTwoNumbersAfterTheProgramMakeAWatcher) {
    struct Case {
        const wchar_t* line;
        std::optional<WatcherHandles> handles;
    } cases[] = {
        {L"\"C:\\My Tools\\M.exe\" --watch-shell 12 3400", WatcherHandles{12, 3400}},
        {L"M.exe   --watch-shell  7  8 ", WatcherHandles{7, 8}},
        {L"\"C:\\--watch-shell 1 2\\M.exe\"", std::nullopt},
        {L"\"C:\\--watch-shell 1 2\\M.exe\" --watch-shell 5 6", WatcherHandles{5, 6}},
        {L"M.exe", std::nullopt},
        {L"M.exe --watch-shell 1", std::nullopt},
        {L"M.exe --watch-shell 1 2 3", std::nullopt},
        {L"M.exe --watch-shell -1 2", std::nullopt},
        {L"M.exe --watch-shellx 1 2", std::nullopt},
        {L"M.exe other --watch-shell 1 2", std::nullopt},
        {L"M.exe --watch-shell 99999999999999999999 2", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseWatcherCommandLine(c.line), c.handles) << moirelle::win::Narrow(c.line);
    EXPECT_EQ(ParseWatcherCommandLine(L"M.exe " + WatcherArguments({41, 42})),
              (WatcherHandles{41, 42}));
}

// The overlay is placed in twips: every taskbar edge in pixels must come back unchanged at
// 100, 125, 150 and 200 per cent.
TEST(TaskbarGeometry, PixelsSurviveTheTripThroughTwipsAtCommonScales) {
    for (int dpi : {96, 120, 144, 192}) {
        const float tpp = 1440.0f / static_cast<float>(dpi);
        int wrong = 0;
        for (LONG p = -200; p <= 8000 && wrong < 3; ++p) {
            TaskbarRect t = MakeTaskbarRect({p, p, p + 41, p + 7}, true, tpp, tpp);
            RECT back{moirelle::forms::TwipsToPixels(t.Left, tpp),
                      moirelle::forms::TwipsToPixels(t.Top, tpp), 0, 0};
            back.right = back.left + moirelle::forms::TwipsToPixels(t.Width, tpp);
            back.bottom = back.top + moirelle::forms::TwipsToPixels(t.Height, tpp);
            if (back.left != p || back.top != p || back.right != p + 41 || back.bottom != p + 7) {
                ADD_FAILURE() << dpi << " dpi, pixel " << p;
                ++wrong;
            }
        }
    }
}

// Each window is listed once however often it is made layered, leaves with its restoring,
// and a window that no longer exists makes room for the next one.
TEST(LayeredWindowList, ListsEachWindowOnceUntilItIsRestoredOrGone) {
    auto make = [] {
        return CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    };
    HWND a = make(), b = make(), c = make();
    ASSERT_TRUE(a && b && c);
    LayeredWindows::Note(a, true);
    LayeredWindows::Note(a, true);
    LayeredWindows::Note(b, true);
    LayeredWindows::Note(nullptr, true);
    EXPECT_EQ(LayeredWindows::Listed(), (std::vector<HWND>{a, b}));
    LayeredWindows::Note(a, false);
    EXPECT_EQ(LayeredWindows::Listed(), (std::vector<HWND>{b}));
    DestroyWindow(b);
    LayeredWindows::Note(c, true);
    EXPECT_EQ(LayeredWindows::Listed(), (std::vector<HWND>{c}));
    LayeredWindows::Note(c, false);
    EXPECT_TRUE(LayeredWindows::Listed().empty());
    DestroyWindow(a);
    DestroyWindow(c);
}

// Where the overlay's monitor has another resolution than the system's (the scale changed
// without signing out, another primary monitor), the overlay must still cover exactly its
// taskbar's pixels: position in screen twips, size in the window's own twips.
TEST(OverlayPlacement, EveryOverlayCoversItsTaskbarsPixelsWhateverTheWindowsResolution) {
    const RECT taskbars[] = {
        {0, 1040, 1920, 1080}, // bottom
        {0, 0, 1920, 48},      // top
        {0, 0, 62, 1080},      // left
        {1858, 0, 1920, 1080}, // right
    };
    // (system dpi, window dpi)
    const std::pair<int, int> dpis[] = {{96, 144}, {144, 96}, {120, 192}, {96, 96}};
    for (auto [system, window] : dpis) {
        const double st = 1440.0 / system, wt = 1440.0 / window;
        const PlacementScale scale{st, st, wt, wt};
        const int32_t screenHeight = 1080 * 1440 / system;
        for (const RECT& r : taskbars) {
            const TaskbarRect t = MakeTaskbarRect(r, true, st, st);
            const OverlayPlace place = PlaceOverlay(t, screenHeight, 2925, {0, 0, 0, 0});
            EXPECT_EQ(place, ScreenPlace(r, scale));
            const OverlayPlace m = WindowMove(place, scale);
            const RECT got{moirelle::forms::TwipsToPixels(m.left, st),
                           moirelle::forms::TwipsToPixels(m.top, st),
                           moirelle::forms::TwipsToPixels(m.left, st) +
                               moirelle::forms::TwipsToPixels(m.width, wt),
                           moirelle::forms::TwipsToPixels(m.top, st) +
                               moirelle::forms::TwipsToPixels(m.height, wt)};
            EXPECT_TRUE(EqualRect(&got, &r))
                << system << "/" << window << " dpi: " << r.left << "," << r.top << " " << r.right
                << "," << r.bottom << " became " << got.left << "," << got.top << " " << got.right
                << "," << got.bottom;
        }
    }
    // A 62-pixel left taskbar at 96 dpi in a window at 144 dpi: 930 screen twips, 620 of
    // the window's.
    EXPECT_EQ(WindowMove({0, 0, 930, 16200}, {15, 15, 10, 10}), (OverlayPlace{0, 0, 620, 10800}));
    EXPECT_EQ(ScreenPlace({-2, 10, 60, 30}, {15, 15, 10, 10}), (OverlayPlace{-30, 150, 930, 300}));
}

namespace {

HWND StandIn(const wchar_t* cls, bool topmost) {
    static const ATOM registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"MoirelleZOrderStandIn";
        return RegisterClassW(&wc);
    }();
    (void)registered;
    return CreateWindowExW(topmost ? WS_EX_TOPMOST : 0, L"MoirelleZOrderStandIn", cls,
                           WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

bool Topmost(HWND w) {
    return (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// Whether `lower` comes after `upper` in z-order.
bool Below(HWND lower, HWND upper) {
    for (HWND w = GetWindow(upper, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w == lower) return true;
    return false;
}

void Place(HWND overlay, HWND taskbar) {
    if (HWND after = OverlayInsertAfter(taskbar, overlay))
        SetWindowPos(overlay, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

} // namespace

// Windows makes a window inserted after a topmost one topmost itself: an overlay must stay
// out of the topmost band, and below its taskbar either way.
TEST(OverlayZOrder, AnOverlayGoesBelowItsTaskbarAndNeverBecomesTopmost) {
    HWND topmostBar = StandIn(L"topmost taskbar", true);
    HWND plainBar = StandIn(L"plain taskbar", false);
    HWND overlay = StandIn(L"overlay", false);
    ASSERT_TRUE(topmostBar && plainBar && overlay);
    ASSERT_TRUE(Topmost(topmostBar));
    EXPECT_EQ(OverlayInsertAfter(topmostBar, overlay), nullptr);
    Place(overlay, topmostBar);
    EXPECT_FALSE(Topmost(overlay));
    EXPECT_TRUE(Below(overlay, topmostBar));
    // An overlay that is topmost (made so before) leaves the band.
    SetWindowPos(overlay, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(OverlayInsertAfter(topmostBar, overlay), HWND_NOTOPMOST);
    Place(overlay, topmostBar);
    EXPECT_FALSE(Topmost(overlay));
    EXPECT_TRUE(Below(overlay, topmostBar));
    // A taskbar outside the band, below the overlay: the overlay goes right after it, once.
    SetWindowPos(overlay, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(Below(plainBar, overlay));
    EXPECT_EQ(OverlayInsertAfter(plainBar, overlay), plainBar);
    Place(overlay, plainBar);
    EXPECT_EQ(GetWindow(plainBar, GW_HWNDNEXT), overlay);
    EXPECT_EQ(OverlayInsertAfter(plainBar, overlay), nullptr);
    EXPECT_EQ(OverlayInsertAfter(nullptr, overlay), nullptr);
    EXPECT_EQ(OverlayInsertAfter(plainBar, nullptr), nullptr);
    for (HWND w : {topmostBar, plainBar, overlay})
        DestroyWindow(w);
}

#ifdef MOIRELLE_APP_EXE
// The notification area shows small icons: 16 pixels at 96 dpi, scaled with the resolution.
TEST(TrayIcon, IsLoadedAtTheSmallIconSizeOfTheScreensResolution) {
    std::string exe = MOIRELLE_APP_EXE;
    if (exe[0] == '/') exe = "Z:" + exe;
    moirelle::win::UniqueModule module(
        LoadLibraryExW(moirelle::win::Widen(exe).c_str(), nullptr,
                       LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    HDC screen = GetDC(nullptr);
    const int expected = MulDiv(16, GetDeviceCaps(screen, LOGPIXELSX), 96);
    ReleaseDC(nullptr, screen);
    moirelle::win::UniqueIcon icon = LoadTrayIcon(module.get(), 1);
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    moirelle::win::UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
    ASSERT_TRUE(colour) << "a monochrome icon";
    BITMAP bm{};
    GetObjectW(colour.get(), sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, expected);
    EXPECT_EQ(std::abs(bm.bmHeight), expected);
}

// Adding the icon again while the shell shows it succeeds (a repeated "TaskbarCreated");
// removing it takes it away.
TEST(TrayIcon, AddingTwiceKeepsTheIconAndRemovingTakesItAway) {
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (!FindWindowW(L"Shell_TrayWnd", nullptr) && GetTickCount64() < deadline)
        Sleep(100);
    if (!FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "no notification area";
    HWND owner = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(owner);
    auto shown = [&] {
        NOTIFYICONDATAW probe{};
        probe.cbSize = sizeof(probe);
        probe.hWnd = owner;
        probe.uID = 1;
        return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
    };
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    EXPECT_TRUE(AddTrayIcon(owner, icon, "Moirelle", WM_APP + 1));
    EXPECT_TRUE(AddTrayIcon(owner, icon, "Moirelle", WM_APP + 1));
    EXPECT_TRUE(shown());
    RemoveTrayIcon();
    EXPECT_FALSE(shown());
    DestroyWindow(owner);
}
#endif

namespace {

// Top-level windows of the test's own, topmost so that they come first in z-order, with
// direct children of the classes named; "Static/Button" is a "Button" inside a "Static".
class WalkWindows {
  public:
    ~WalkWindows() {
        for (HWND w : tops_)
            DestroyWindow(w);
    }
    HWND Top(const wchar_t* cls, std::initializer_list<const wchar_t*> children,
             std::vector<HWND>* made = nullptr) {
        HWND top = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, Class(cls), L"", WS_POPUP, 0,
                                   0, 50, 50, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        tops_.push_back(top);
        for (std::wstring c : children) {
            HWND parent = top;
            if (size_t slash = c.find(L'/'); slash != std::wstring::npos) {
                parent = CreateWindowExW(0, Class(c.substr(0, slash).c_str()), L"", WS_CHILD, 0, 0,
                                         10, 10, top, nullptr, GetModuleHandleW(nullptr), nullptr);
                c = c.substr(slash + 1);
            }
            HWND child = CreateWindowExW(0, Class(c.c_str()), L"", WS_CHILD, 0, 0, 10, 10, parent,
                                         nullptr, GetModuleHandleW(nullptr), nullptr);
            if (made) made->push_back(child);
        }
        return top;
    }

  private:
    static const wchar_t* Class(const wchar_t* name) {
        if (!wcscmp(name, L"Button") || !wcscmp(name, L"Static")) return name;
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = name;
        RegisterClassW(&wc);
        return name;
    }
    std::vector<HWND> tops_;
};

} // namespace

// The first direct child, of the first top-level window in z-order, whose class begins with
// "Button" (case counts); top-level windows themselves and deeper children do not count.
TEST(StartButtonWalk, TakesTheFirstDirectChildWhoseClassBeginsWithButton) {
    WalkWindows windows;
    std::vector<HWND> lower, upper;
    windows.Top(L"Static", {L"Static", L"ButtonLike", L"Button"}, &lower);
    windows.Top(L"ButtonFrame", {L"Butto", L"xButton", L"BUTTONS", L"Static/Button"}, &upper);
    ASSERT_EQ(lower.size(), 3u);
    EXPECT_EQ(FindStartButton(0), lower[1]);
    EXPECT_NE(FindStartButton(GetCurrentProcessId()), lower[1]);
    windows.Top(L"Static", {L"Static", L"Button"}, &upper);
    EXPECT_EQ(FindStartButton(0), upper.back());
}

// Found once and kept, also when another window with a button comes first later; found again
// when the one kept is gone or the shell started again.
TEST(StartButtonWalk, TheButtonIsKeptUntilItsWindowGoesOrTheShellRestarts) {
    WalkWindows windows;
    std::vector<HWND> first, second, third;
    HWND firstTop = windows.Top(L"Static", {L"Button"}, &first);
    ForgetStartButton();
    EXPECT_EQ(StartButton(0), first[0]);
    windows.Top(L"Static", {L"Button"}, &second);
    EXPECT_EQ(StartButton(0), first[0]);
    DestroyWindow(firstTop);
    EXPECT_EQ(StartButton(0), second[0]);
    windows.Top(L"Static", {L"Button"}, &third);
    EXPECT_EQ(StartButton(0), second[0]);
    ForgetStartButton();
    EXPECT_EQ(StartButton(0), third[0]);
}

// The child's side of the next test: run only in a process that test starts.
TEST(HelperStartChild, GotOnlyTheListedHandleAndNoBusyCursor) {
    wchar_t text[64]{};
    if (!GetEnvironmentVariableW(L"MOIRELLE_HANDED_HANDLES", text, 64)) GTEST_SKIP();
    unsigned long long listed = 0, unlisted = 0;
    ASSERT_EQ(swscanf(text, L"%llu %llu", &listed, &unlisted), 2);
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(listed), &flags));
    EXPECT_FALSE(GetHandleInformation(reinterpret_cast<HANDLE>(unlisted), &flags));
    STARTUPINFOW si{};
    GetStartupInfoW(&si);
    EXPECT_TRUE(si.dwFlags & STARTF_FORCEOFFFEEDBACK);
}

// A helper program gets the handles it needs and no other inheritable one of ours.
TEST(HelperStart, HandsOnlyTheListedHandlesAndShowsNoBusyCursor) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    // Handle values above any the child opens by itself.
    std::vector<moirelle::win::UniqueKernelHandle> filler;
    for (int i = 0; i < 400; ++i)
        filler.emplace_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    moirelle::win::UniqueKernelHandle listed(CreateEventW(&inherit, FALSE, FALSE, nullptr));
    moirelle::win::UniqueKernelHandle unlisted(CreateEventW(&inherit, FALSE, FALSE, nullptr));
    ASSERT_TRUE(listed && unlisted);
    wchar_t exe[MAX_PATH]{};
    ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    const std::wstring handles = std::to_wstring(reinterpret_cast<uintptr_t>(listed.get())) + L" " +
                                 std::to_wstring(reinterpret_cast<uintptr_t>(unlisted.get()));
    SetEnvironmentVariableW(L"MOIRELLE_HANDED_HANDLES", handles.c_str());
    const HANDLE handed[] = {listed.get()};
    std::wstring line = L"\"" + std::wstring(exe) + L"\" --gtest_filter=HelperStartChild.*";
    moirelle::win::UniqueKernelHandle child = StartWithHandles(exe, line, handed, 0);
    SetEnvironmentVariableW(L"MOIRELLE_HANDED_HANDLES", nullptr);
    ASSERT_TRUE(child);
    ASSERT_EQ(WaitForSingleObject(child.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(child.get(), &code);
    EXPECT_EQ(code, 0u) << "the child's tests failed";
}

namespace {

// A window that keeps its extended style whatever it is asked.
LRESULT CALLBACK KeepsItsStyle(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_STYLECHANGING && w == static_cast<WPARAM>(GWL_EXSTYLE)) {
        auto* change = reinterpret_cast<STYLESTRUCT*>(l);
        change->styleNew = change->styleOld;
        return 0;
    }
    return DefWindowProcW(h, msg, w, l);
}

HWND PlainWindow(WNDPROC proc, const wchar_t* cls) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    RegisterClassW(&wc);
    return CreateWindowExW(0, cls, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

bool Listed(HWND w) {
    auto all = LayeredWindows::Listed();
    return std::find(all.begin(), all.end(), w) != all.end();
}

} // namespace

TEST(WindowAlpha, LayersWithTheAlphaAndRestoresAndListsOnlyWhatTook) {
    const clsAlpha alpha;
    HWND plain = PlainWindow(DefWindowProcW, L"MoirelleAlphaPlain");
    ASSERT_TRUE(plain);
    for (BYTE a : {0, 155, 255}) {
        alpha.SetWindowAlpha(plain, true, a);
        BYTE got = 1;
        DWORD flags = 0;
        ASSERT_TRUE(GetLayeredWindowAttributes(plain, nullptr, &got, &flags)) << int(a);
        EXPECT_EQ(got, a);
        EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
        EXPECT_TRUE(Listed(plain));
    }
    alpha.RestoreWindowAlpha(plain);
    EXPECT_FALSE(GetWindowLongPtrW(plain, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_FALSE(Listed(plain));
    // Refused: a window that keeps its style, and one that is gone.
    HWND keeps = PlainWindow(KeepsItsStyle, L"MoirelleAlphaKeeps");
    HWND gone = PlainWindow(DefWindowProcW, L"MoirelleAlphaPlain");
    DestroyWindow(gone);
    alpha.SetWindowAlpha(keeps, true, 100);
    alpha.SetWindowAlpha(gone, true, 100);
    EXPECT_FALSE(GetWindowLongPtrW(keeps, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_FALSE(Listed(keeps));
    EXPECT_FALSE(Listed(gone));
    DestroyWindow(keeps);
    DestroyWindow(plain);
}

#ifdef MOIRELLE_APP_EXE
// Windows' file properties read the executable's version information.
TEST(VersionInformation, NamesTheProgramItsVersionAndCopyright) {
    std::string exe = MOIRELLE_APP_EXE;
    if (exe[0] == '/') exe = "Z:" + exe;
    const std::wstring path = moirelle::win::Widen(exe);
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010004u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010004u);
    auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT n = 0;
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        return VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &n) &&
                       value
                   ? std::wstring(value)
                   : std::wstring();
    };
    EXPECT_EQ(text(L"ProductName"), L"Moirelle");
    EXPECT_EQ(text(L"ProductVersion"), L"1.4p");
    EXPECT_EQ(text(L"OriginalFilename"), L"Moirelle_Portable.exe");
    EXPECT_NE(text(L"FileDescription").find(L"taskbar"), std::wstring::npos);
    EXPECT_NE(text(L"LegalCopyright").find(L"Copyright"), std::wstring::npos);
}
#endif

// The list the watcher reads: one block of its own size, shared once, holding the notes.
TEST(LayeredWindowList, IsSharedInOneSmallBlockThatHoldsTheNotes) {
    HANDLE block = LayeredWindows::Share();
    ASSERT_TRUE(block);
    EXPECT_EQ(LayeredWindows::Share(), block);
    void* view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, 0);
    ASSERT_TRUE(view);
    MEMORY_BASIC_INFORMATION region{};
    ASSERT_TRUE(VirtualQuery(view, &region, sizeof(region)));
    EXPECT_GE(region.RegionSize, sizeof(LayeredWindows::Block));
    EXPECT_LE(region.RegionSize, size_t{65536});
    HWND w = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    LayeredWindows::Note(w, true);
    EXPECT_EQ(LayeredWindows::ListedIn(*static_cast<const LayeredWindows::Block*>(view)),
              std::vector<HWND>{w});
    LayeredWindows::Note(w, false);
    UnmapViewOfFile(view);
    DestroyWindow(w);
}
