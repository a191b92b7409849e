// Forms: twips geometry, lazy loading, visibility and window state, unloading, timers,
// the form's mouse-move event and the global services.

#include "forms/Form.h"
#include "Pump.h"
#include "forms/App.h"
#include "forms/LayeredWindow.h"
#include "forms/Screen.h"
#include "forms/Timer.h"
#include "forms/UserControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace moirelle;
using namespace moirelle::forms;
using test::PumpFor;
using test::PumpUntil;

namespace {

// Records the order in which things happen across forms and controls.
using Journal = std::vector<std::string>;

class Recorder : public UserControl {
  public:
    Recorder(Container& parent, Bounds b, Journal& journal, std::string name)
        : UserControl(parent, b), journal_(journal), name_(std::move(name)) {}
    std::string_view TypeName() const override { return "Recorder"; }

  protected:
    void UserControl_Initialize() override { Note("Initialize"); }
    void UserControl_InitProperties() override { Note("InitProperties"); }
    void UserControl_Resize() override { Note("Resize"); }
    void UserControl_Show() override { Note("Show"); }
    void UserControl_Hide() override { Note("Hide"); }
    void UserControl_Terminate() override { Note("Terminate"); }

  private:
    void Note(const char* what) { journal_.push_back(name_ + "." + what); }
    Journal& journal_;
    std::string name_;
};

class SecondForm : public Form {
  public:
    explicit SecondForm(Journal& journal)
        : Form({.caption = "second", .width = 3000, .height = 2000, .borderStyle = 0}),
          journal_(journal) {}
    int loads = 0;

  protected:
    void Form_Load() override {
        ++loads;
        journal_.push_back("Second.Load");
    }

  private:
    Journal& journal_;
};

class FirstForm : public Form {
    Journal& journal_;
    SecondForm& other_;

  public:
    FirstForm(Journal& journal, SecondForm& other)
        : Form({.caption = "first",
                .left = 1500,
                .top = 1500,
                .width = 6105,
                .height = 795,
                .borderStyle = 0,
                .showInTaskbar = false}),
          journal_(journal), other_(other) {}

    Hosted<Recorder> rec{*this, {0, 0, 1500, 600}, journal_, "Rec"};
    int32_t otherHeightSeenInLoad = -1;
    int32_t ownWidthSeenInLoad = -1;
    bool cancelQuery = false;
    int16_t lastUnloadMode = -1;
    std::vector<std::pair<float, float>> moves;

  protected:
    void Form_Load() override {
        journal_.push_back("First.Load begins");
        ownWidthSeenInLoad = Width();
        otherHeightSeenInLoad = other_.Height();
        journal_.push_back("First.Load ends");
    }
    void Form_QueryUnload(bool& cancel, int16_t unloadMode) override {
        lastUnloadMode = unloadMode;
        journal_.push_back("First.QueryUnload");
        cancel = cancelQuery;
    }
    void Form_Unload(bool&) override { journal_.push_back("First.Unload"); }
    void Form_MouseMove(int16_t, int16_t, float x, float y) override { moves.emplace_back(x, y); }
};

} // namespace

TEST(Screen, TwipsPerPixelAt96Dpi) {
    EXPECT_FLOAT_EQ(Screen::TwipsPerPixelX(), 15.0f);
    EXPECT_FLOAT_EQ(Screen::TwipsPerPixelY(), 15.0f);
    EXPECT_EQ(Screen::Width(), GetSystemMetrics(SM_CXSCREEN) * 15);
    EXPECT_EQ(Screen::Height(), GetSystemMetrics(SM_CYSCREEN) * 15);
}

TEST(AppServices, FolderAndBaseNameRules) {
    EXPECT_EQ(FolderOfPath("C:\\Tools\\Moirelle_Portable.exe"), "C:\\Tools");
    EXPECT_EQ(FolderOfPath("C:\\Moirelle_Portable.exe"), "C:\\");
    EXPECT_EQ(FolderOfPath("\\\\server\\share\\m.exe"), "\\\\server\\share");
    EXPECT_EQ(BaseNameOfPath("C:\\Tools\\Moirelle_Portable.exe"), "Moirelle_Portable");
    EXPECT_EQ(BaseNameOfPath("C:\\a.b\\name.v2.exe"), "name.v2");
    EXPECT_EQ(App::Title(), "Moirelle");
    EXPECT_EQ(App::EXEName(), "test_win_forms");
    std::string path = App::Path();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.back(), '\\');
    EXPECT_EQ(GetFileAttributesW(
                  (std::wstring(path.begin(), path.end()) + L"\\test_win_forms.exe").c_str()) ==
                  INVALID_FILE_ATTRIBUTES,
              false);
    EXPECT_EQ(App::hInstance(), GetModuleHandleW(nullptr));
}

TEST(Forms, ReadingAPropertyLoadsTheFormAndItsControlsFirst) {
    Journal journal;
    SecondForm second(journal);
    FirstForm first(journal, second);
    EXPECT_FALSE(first.Loaded());
    EXPECT_FALSE(second.Loaded());
    // Initialize belongs to the instance, before any window.
    EXPECT_EQ(journal, (Journal{"Rec.Initialize"}));

    int32_t height = first.Height();
    EXPECT_EQ(height, 795);
    EXPECT_TRUE(first.Loaded());
    EXPECT_TRUE(second.Loaded());
    EXPECT_EQ(second.loads, 1);
    EXPECT_EQ(first.ownWidthSeenInLoad, 6105);
    EXPECT_EQ(first.otherHeightSeenInLoad, 1995) << "2000 twips is 133 pixels: 1995 twips";
    EXPECT_EQ(journal, (Journal{"Rec.Initialize", "Rec.InitProperties", "Rec.Resize",
                                "First.Load begins", "Second.Load", "First.Load ends"}));
    // Nothing is shown yet, so the control has had no Show.
    EXPECT_FALSE(first.Visible());
}

TEST(Forms, GeometryIsInTwipsOfFifteenPerPixel) {
    Journal journal;
    SecondForm second(journal);
    FirstForm first(journal, second);
    RECT r{};
    GetWindowRect(first.hWnd(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(r.right - r.left, 407);
    EXPECT_EQ(r.bottom - r.top, 53);
    first.Move(0, 11070, Screen::Width(), 450);
    GetWindowRect(first.hWnd(), &r);
    EXPECT_EQ(r.top, 738);
    EXPECT_EQ(r.bottom - r.top, 30);
    EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(first.Top(), 11070);
    EXPECT_EQ(first.Height(), 450);
    first.Height(452); // not a whole pixel: rounds to 30 pixels
    EXPECT_EQ(first.Height(), 450);
    first.Left(-300);
    EXPECT_EQ(first.Left(), -300);
    // Borderless: the client area is the whole window.
    EXPECT_FLOAT_EQ(first.ScaleWidth(), static_cast<float>(first.Width()));
}

TEST(Forms, StylesOfBorderlessToolWindow) {
    Journal journal;
    SecondForm second(journal);
    FirstForm first(journal, second);
    HWND h = first.hWnd();
    LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
    LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_EQ(first.Caption(), "first");
    EXPECT_FALSE(GetWindowLongPtrW(second.hWnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

TEST(Forms, ShowHideAndWindowStateRaiseShowAndHideOfControls) {
    Journal journal;
    SecondForm second(journal);
    FirstForm first(journal, second);
    first.Load();
    journal.clear();
    first.Show();
    EXPECT_TRUE(first.Visible());
    EXPECT_EQ(journal, (Journal{"Rec.Show"}));
    first.WindowState(vbMinimized);
    PumpFor(50);
    EXPECT_EQ(first.WindowState(), vbMinimized);
    first.Hide();
    EXPECT_FALSE(first.Visible());
    EXPECT_EQ(first.WindowState(), vbMinimized) << "hiding keeps the minimized state";
    EXPECT_EQ(journal, (Journal{"Rec.Show", "Rec.Hide"}));
    // Made normal while hidden: it takes effect, and shows normal, on Show.
    first.WindowState(vbNormal);
    EXPECT_EQ(first.WindowState(), vbNormal);
    EXPECT_FALSE(first.Visible());
    first.Show();
    PumpFor(50);
    EXPECT_TRUE(first.Visible());
    EXPECT_EQ(first.WindowState(), vbNormal);
    EXPECT_FALSE(IsIconic(first.hWnd()));
    EXPECT_EQ(journal, (Journal{"Rec.Show", "Rec.Hide", "Rec.Show"}));
}

TEST(Forms, CloseAsksQueryUnloadWhichMayCancel) {
    Journal journal;
    SecondForm second(journal);
    FirstForm first(journal, second);
    first.Show();
    journal.clear();
    first.cancelQuery = true;
    SendMessageW(first.hWnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(first.Loaded());
    EXPECT_EQ(first.lastUnloadMode, vbFormControlMenu);
    EXPECT_EQ(journal, (Journal{"First.QueryUnload"}));
    first.cancelQuery = false;
    journal.clear();
    EXPECT_TRUE(first.Unload());
    EXPECT_FALSE(first.Loaded());
    EXPECT_EQ(first.lastUnloadMode, vbFormCode);
    EXPECT_EQ(journal, (Journal{"First.QueryUnload", "First.Unload", "Rec.Hide"}));
    // Reading it again loads it again.
    journal.clear();
    EXPECT_EQ(first.Width(), 6105);
    EXPECT_EQ(journal.front(), "Rec.InitProperties");
}

TEST(Forms, MouseMoveOverTheBackgroundArrivesInTwips) {
    Journal journal;
    SecondForm second(journal);
    FirstForm first(journal, second);
    first.Show();
    // The notification area reports its mouse messages this way: the message in x.
    SendMessageW(first.hWnd(), WM_MOUSEMOVE, 1, test::At(514, 0));
    // Over the user control at (0, 0)-(100, 40) the form gets nothing.
    SendMessageW(first.hWnd(), WM_MOUSEMOVE, 0, test::At(10, 10));
    ASSERT_EQ(first.moves.size(), 1u);
    EXPECT_FLOAT_EQ(first.moves[0].first, 514.0f * 15);
    EXPECT_FLOAT_EQ(first.moves[0].second, 0.0f);
}

TEST(Timers, FireFromTheMessageLoopAndNeverWithIntervalZeroOrDisabled) {
    Journal journal;
    SecondForm host(journal);
    Timer fast(host, 30);
    Timer zero(host, 0);
    Timer off(host, 30, false);
    int fastTicks = 0, zeroTicks = 0, offTicks = 0;
    fast.Tick = [&] { ++fastTicks; };
    zero.Tick = [&] { ++zeroTicks; };
    off.Tick = [&] { ++offTicks; };
    PumpFor(100);
    EXPECT_EQ(fastTicks, 0) << "no window, no timer";
    host.Load();
    EXPECT_TRUE(PumpUntil([&] { return fastTicks >= 3; }, 3000));
    PumpFor(150);
    EXPECT_EQ(zeroTicks, 0);
    EXPECT_EQ(offTicks, 0);

    fast.Enabled(false);
    int frozen = fastTicks;
    PumpFor(150);
    EXPECT_EQ(fastTicks, frozen);

    off.Enabled(true);
    EXPECT_TRUE(PumpUntil([&] { return offTicks >= 1; }, 3000));
    off.Interval(0);
    PumpFor(30);
    int stopped = offTicks;
    PumpFor(150);
    EXPECT_EQ(offTicks, stopped);
    zero.Interval(20);
    EXPECT_TRUE(PumpUntil([&] { return zeroTicks >= 1; }, 3000));
}

TEST(Timers, AStoppedTimerDropsATickAlreadyQueued) {
    Journal journal;
    SecondForm host(journal);
    host.Load();
    Timer t(host, 10);
    int ticks = 0;
    t.Tick = [&] { ++ticks; };
    Sleep(60); // a WM_TIMER is now pending
    t.Enabled(false);
    PumpFor(60);
    EXPECT_EQ(ticks, 0);
}

TEST(LayeredForms, ColourKeyAndConstantAlpha) {
    Journal journal;
    SecondForm form(journal);
    HWND h = form.hWnd();
    EXPECT_FALSE(GetLayered(h));
    ASSERT_TRUE(SetLayeredColorKey(h, 0x404040));
    auto a = GetLayered(h);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->flags, static_cast<DWORD>(LWA_COLORKEY));
    EXPECT_EQ(a->colorKey, 0x404040u);
    ASSERT_TRUE(SetLayeredAlpha(h, 155));
    a = GetLayered(h);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->flags, static_cast<DWORD>(LWA_ALPHA));
    EXPECT_EQ(a->alpha, 155);
    EXPECT_TRUE(ClearLayered(h));
    EXPECT_FALSE(IsLayered(h));
    // Clearing a window that never was layered is harmless.
    EXPECT_TRUE(ClearLayered(h));
    EXPECT_FALSE(SetLayeredAlpha(nullptr, 10));
}
