// The rules that decide a taskbar's state and what it shows in it, with the facts of the
// windows and monitors stood in: two monitors side by side, the left one with a 40-pixel
// taskbar at the bottom.

#include "app/StateRules.h"
#include "app/StartMenu.h"

#include <gtest/gtest.h>

using namespace moirelle::app;

namespace {

const HMONITOR kLeft = reinterpret_cast<HMONITOR>(0x1001);
const HMONITOR kRight = reinterpret_cast<HMONITOR>(0x1002);
const MonitorFacts kLeftMonitor{kLeft, {0, 0, 1920, 1080}, {0, 0, 1920, 1040}};
const MonitorFacts kRightMonitor{kRight, {1920, 0, 3200, 1024}, {1920, 0, 3200, 1024}};

WindowFacts Maximised() {
    // A maximised window's frame reaches 8 pixels past the work area on every side.
    return {true, false, false, true, {-8, -8, 1928, 1048}, kLeft};
}

} // namespace

TEST(MaximisedWindowRule, CountsOnlyVisibleUncloakedUnminimisedWindowsOnTheMonitor) {
    struct Case {
        const char* what;
        WindowFacts window;
        Coverage left;
        Coverage right;
    } cases[] = {
        {"maximised", Maximised(), Coverage::Maximised, Coverage::None},
        {"invisible",
         [] {
             auto w = Maximised();
             w.visible = false;
             return w;
         }(),
         Coverage::None, Coverage::None},
        {"cloaked",
         [] {
             auto w = Maximised();
             w.cloaked = true;
             return w;
         }(),
         Coverage::None, Coverage::None},
        {"minimised",
         [] {
             auto w = Maximised();
             w.minimised = true;
             return w;
         }(),
         Coverage::None, Coverage::None},
        {"covering the work area exactly, not maximised",
         {true, false, false, false, {0, 0, 1920, 1040}, kLeft},
         Coverage::Maximised,
         Coverage::None},
        {"one pixel short of the work area",
         {true, false, false, false, {0, 0, 1920, 1039}, kLeft},
         Coverage::None,
         Coverage::None},
        {"covering the whole monitor: full screen",
         {true, false, false, false, {0, 0, 1920, 1080}, kLeft},
         Coverage::FullScreen,
         Coverage::None},
        {"maximised on the right monitor",
         {true, false, false, true, {1912, -8, 3208, 1032}, kRight},
         Coverage::None,
         Coverage::Maximised},
        {"the right monitor has no taskbar: its work area is the monitor, so full screen wins",
         {true, false, false, false, {1920, 0, 3200, 1024}, kRight},
         Coverage::None,
         Coverage::FullScreen},
        {"on no monitor",
         {true, false, false, true, {-8, -8, 1928, 1048}, nullptr},
         Coverage::None,
         Coverage::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CoverageOf(c.window, kLeftMonitor), c.left) << c.what;
        EXPECT_EQ(CoverageOf(c.window, kRightMonitor), c.right) << c.what;
    }
    EXPECT_EQ(CoverageOf(Maximised(), MonitorFacts{}), Coverage::None) << "unknown monitor";
}

TEST(TaskbarStateRule, StartMenuFirstThenMaximisedAndOnlyRulesThatChangeSomething) {
    const TaskbarRules defaults;
    TaskbarRules startMenuFades;
    startMenuFades.startMenu.alpha = 90;
    TaskbarRules nothing;
    nothing.maximised = StateRule{};
    TaskbarRules skinOnly;
    skinOnly.maximised = StateRule{std::nullopt, Skin{"a.bmp", ""}};
    struct Case {
        const TaskbarRules& rules;
        bool maximised, startMenu;
        TaskbarState expected;
    } cases[] = {
        {defaults, false, false, TaskbarState::Normal},
        {defaults, true, false, TaskbarState::Maximised},
        // By default the start menu changes nothing: the maximised state goes on.
        {defaults, true, true, TaskbarState::Maximised},
        {defaults, false, true, TaskbarState::Normal},
        {startMenuFades, true, true, TaskbarState::StartMenu},
        {startMenuFades, false, true, TaskbarState::StartMenu},
        {startMenuFades, true, false, TaskbarState::Maximised},
        {nothing, true, false, TaskbarState::Normal},
        {skinOnly, true, false, TaskbarState::Maximised},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(StateOf(c.rules, c.maximised, c.startMenu), c.expected) << "case " << i;
    }
}

TEST(TaskbarLook, DefaultsMakeTheMaximisedStateOpaqueOverTheSameSkin) {
    const Skin own{"C:\\sky.bmp", "C:\\grain.png"};
    const TaskbarRules defaults;
    EXPECT_EQ(LookIn(TaskbarState::Normal, defaults, 155, own), (Look{155, own}));
    EXPECT_EQ(LookIn(TaskbarState::Maximised, defaults, 155, own), (Look{255, own}));
    TaskbarRules own2;
    own2.maximised = StateRule{std::nullopt, Skin{"C:\\dark.bmp", ""}};
    own2.startMenu = StateRule{40, std::nullopt};
    EXPECT_EQ(LookIn(TaskbarState::Maximised, own2, 155, own),
              (Look{155, Skin{"C:\\dark.bmp", ""}}));
    EXPECT_EQ(LookIn(TaskbarState::StartMenu, own2, 155, own), (Look{40, own}));
    EXPECT_EQ(LookIn(TaskbarState::Normal, own2, 100, own), (Look{100, own}));
    // A taskbar that shows the shared skin goes on showing it unless the state has its own.
    EXPECT_EQ(LookIn(TaskbarState::Maximised, defaults, 100, std::nullopt),
              (Look{255, std::nullopt}));
    EXPECT_EQ(LookIn(TaskbarState::Maximised, own2, 100, std::nullopt),
              (Look{100, Skin{"C:\\dark.bmp", ""}}));
}

// The start button at the left end of a bottom taskbar, 58 x 20.
TEST(StartMenuRule, AShellMenuAgainstTheStartButtonOrTheShellsStartWindow) {
    const RECT button{0, 748, 58, 768};
    struct Case {
        const char* what;
        MenuWindowFacts window;
        bool expected;
    } cases[] = {
        {"shell menu standing on the button",
         {L"#32768", true, true, {0, 708, 115, 748}, button},
         true},
        {"shell menu hanging below a top taskbar's button",
         {L"#32768", true, true, {0, 20, 115, 60}, {0, 0, 58, 20}},
         true},
        {"shell menu beside a left taskbar's button",
         {L"#32768", true, true, {58, 0, 170, 40}, {0, 0, 58, 20}},
         true},
        {"hidden", {L"#32768", true, false, {0, 708, 115, 748}, button}, false},
        {"another program's menu", {L"#32768", false, true, {0, 708, 115, 748}, button}, false},
        {"shell menu elsewhere on the taskbar (its context menu)",
         {L"#32768", true, true, {600, 708, 715, 748}, button},
         false},
        {"shell menu touching only the button's corner",
         {L"#32768", true, true, {58, 708, 170, 748}, button},
         false},
        {"shell menu one pixel above the button",
         {L"#32768", true, true, {0, 707, 115, 747}, button},
         false},
        {"the shell's start window", {L"DV2ControlHost", true, true, {0, 300, 400, 748}, {}}, true},
        {"the shell's start window hidden", {L"DV2ControlHost", true, false, {}, {}}, false},
        {"a start window of another program", {L"DV2ControlHost", false, true, {}, {}}, false},
        {"another class against the button",
         {L"#32770", true, true, {0, 708, 115, 748}, button},
         false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsStartMenuWindow(c.window), c.expected) << c.what;
}
