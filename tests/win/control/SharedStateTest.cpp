// The state the image controls of a container share: registration, the capture hand-over,
// the timer binding and the GDI+ start-up per window tree with its deferred shutdown.

#include "control/GdiplusShared.h"
#include "control/TimerEntries.h"
#include "control/cCrossComm.h"
#include "gdiplus/GdiplusFlat.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace moirelle::test {
namespace {

using control::cCrossComm;
using control::ICrossComm;
using control::IdentityOf;
using control::TimerEntries;

std::vector<intptr_t> RegisteredOf(const cCrossComm& shared) {
    return {shared.Registered().begin(), shared.Registered().end()};
}

// ---- Registration ----

TEST(SharedRegistration, KeepsIdentitiesSortedAndUnique) {
    struct Case {
        std::vector<intptr_t> add;
        std::vector<intptr_t> expected;
    };
    const Case cases[] = {
        {{30, 10, 20}, {10, 20, 30}},
        {{30, 10, 20, 20, 10, 30}, {10, 20, 30}},
        {{0, 5, 0}, {5}},
        {{-3, 7, -9, 2}, {-9, -3, 2, 7}},
        {{1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {{8, 7, 6, 5, 4, 3, 2, 1}, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const Case& c : cases) {
        cCrossComm shared;
        for (intptr_t id : c.add)
            shared.AddRef(id);
        EXPECT_EQ(RegisteredOf(shared), c.expected);
    }
}

TEST(SharedRegistration, AgreesWithAnOrderedSetOverRandomAddsAndRemoves) {
    std::mt19937 random(10);
    std::uniform_int_distribution<int> value(1, 60), action(0, 2);
    cCrossComm shared;
    std::set<intptr_t> model;
    for (int i = 0; i < 2000; ++i) {
        const intptr_t id = value(random);
        if (action(random) == 0) {
            shared.RemoveRef(id);
            model.erase(id);
        } else {
            shared.AddRef(id);
            model.insert(id);
        }
        ASSERT_EQ(RegisteredOf(shared), std::vector<intptr_t>(model.begin(), model.end()))
            << "step " << i;
    }
}

// An instance that records the notifications it gets.
class FakeControl final : public ICrossComm {
  public:
    FakeControl(std::vector<std::string>& log, std::string name) : log_(log), name_(name) {}
    std::shared_ptr<cCrossComm> CrossTalkClass() override { return shared; }
    void ReleaseMouseCapture() override {
        log_.push_back(name_);
        if (onRelease) onRelease();
    }
    intptr_t id() { return IdentityOf(this); }

    std::shared_ptr<cCrossComm> shared;
    std::function<void()> onRelease;

  private:
    std::vector<std::string>& log_;
    std::string name_;
};

TEST(SharedRegistration, RemovingTheOnlyOrTheCapturedInstanceNotifiesNobody) {
    std::vector<std::string> log;
    FakeControl a(log, "A"), b(log, "B");
    cCrossComm shared;
    shared.AddRef(a.id());
    shared.RemoveRef(a.id());
    EXPECT_TRUE(shared.Registered().empty());

    shared.AddRef(a.id());
    shared.AddRef(b.id());
    shared.CapturedControl(b.id());
    shared.RemoveRef(b.id());
    EXPECT_EQ(shared.CapturedControl(), 0);
    EXPECT_EQ(RegisteredOf(shared), std::vector<intptr_t>{a.id()});

    // An identity that was never registered still clears a matching capture.
    shared.CapturedControl(b.id());
    shared.RemoveRef(b.id());
    EXPECT_EQ(shared.CapturedControl(), 0);
    shared.RemoveRef(12345); // unknown, not captured: nothing happens
    EXPECT_EQ(RegisteredOf(shared), std::vector<intptr_t>{a.id()});
    EXPECT_TRUE(log.empty());
}

// ---- Capture hand-over ----

TEST(CaptureHandOver, TheCapturedInstanceIsToldBeforeAnotherTakesOver) {
    std::vector<std::string> log;
    FakeControl a(log, "A"), b(log, "B");
    cCrossComm shared;
    intptr_t capturedDuringRelease = -1;
    a.onRelease = [&] { capturedDuringRelease = shared.CapturedControl(); };

    shared.CapturedControl(a.id()); // nobody captured: nobody told
    shared.CapturedControl(a.id()); // the same again: nobody told
    EXPECT_TRUE(log.empty());

    shared.CapturedControl(b.id());
    EXPECT_EQ(log, std::vector<std::string>{"A"});
    EXPECT_EQ(capturedDuringRelease, a.id()) << "told while still the captured one";
    EXPECT_EQ(shared.CapturedControl(), b.id());

    // Setting 0 tells the captured instance, also when it is the one asking.
    shared.CapturedControl(0);
    EXPECT_EQ(log, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(shared.CapturedControl(), 0);
    shared.CapturedControl(0);
    EXPECT_EQ(log.size(), 2u);
}

TEST(CaptureHandOver, AnInstanceLosingThePointerIsToldOnceEvenWhenItsHandlerSetsItAgain) {
    std::vector<std::string> log;
    FakeControl a(log, "A"), b(log, "B");
    cCrossComm shared;
    a.onRelease = [&] { shared.CapturedControl(0); };
    shared.CapturedControl(a.id());
    shared.CapturedControl(b.id());
    EXPECT_EQ(log, std::vector<std::string>{"A"});
    EXPECT_EQ(shared.CapturedControl(), b.id());
}

// ---- Timer binding ----

// Handles this thread's messages for a while or until done() holds.
bool Pump(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

struct Window {
    HWND hwnd = nullptr;
    Window(HWND parent, DWORD style, const wchar_t* cls = L"Static", HWND owner = nullptr)
        : hwnd(CreateWindowExW(0, cls, L"", style, 0, 0, 50, 50, parent ? parent : owner, nullptr,
                               GetModuleHandleW(nullptr), nullptr)) {}
    ~Window() {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
};

TEST(TimerBinding, OnlyEntriesZeroAndOneCanBeMade) {
    TimerEntries entries;
    const auto tick = [](HWND, UINT, UINT_PTR, DWORD) {};
    EXPECT_FALSE(entries.Create(-1, tick));
    EXPECT_FALSE(entries.Create(2, tick));
    EXPECT_FALSE(entries.Made(0));
    EXPECT_TRUE(entries.Create(0, tick));
    EXPECT_TRUE(entries.Create(1, tick));
    EXPECT_TRUE(entries.Made(0) && entries.Made(1));
    Window w(nullptr, WS_POPUP);
    EXPECT_EQ(entries.Set(0, w.hwnd, 7, 10), 7u);
    entries.Release();
    EXPECT_FALSE(entries.Made(0) || entries.Made(1));
    EXPECT_EQ(entries.Set(0, w.hwnd, 7, 10), 0u) << "no timer without an entry";
}

TEST(TimerBinding, EachTimerReachesTheEntryThatSetItWithTheTimerArguments) {
    Window w(nullptr, WS_POPUP);
    struct Seen {
        HWND hwnd;
        UINT msg;
        UINT_PTR id;
    };
    std::vector<std::pair<std::string, Seen>> seen;
    TimerEntries a, b;
    const auto record = [&](std::string who) {
        return [&seen, who](HWND h, UINT m, UINT_PTR id, DWORD) {
            seen.push_back({who, {h, m, id}});
        };
    };
    ASSERT_TRUE(a.Create(0, record("a0")));
    ASSERT_TRUE(a.Create(1, record("a1")));
    ASSERT_TRUE(b.Create(0, record("b0")));
    const auto idA = reinterpret_cast<UINT_PTR>(&a); // an identity: an object address
    ASSERT_NE(a.Set(0, w.hwnd, idA, 10), 0u);
    ASSERT_NE(a.Set(1, w.hwnd, static_cast<UINT_PTR>(-static_cast<intptr_t>(idA)), 10), 0u);
    ASSERT_NE(b.Set(0, w.hwnd, 42, 10), 0u);
    std::set<std::string> who;
    ASSERT_TRUE(Pump(
        [&] {
            for (const auto& s : seen)
                who.insert(s.first);
            return who.size() == 3;
        },
        2000));
    for (const auto& [name, s] : seen) {
        SCOPED_TRACE(name);
        EXPECT_EQ(s.hwnd, w.hwnd);
        EXPECT_EQ(s.msg, static_cast<UINT>(WM_TIMER));
        const UINT_PTR expected = name == "a0" ? idA
                                  : name == "a1"
                                      ? static_cast<UINT_PTR>(-static_cast<intptr_t>(idA))
                                      : 42u;
        EXPECT_EQ(s.id, expected);
    }
}

TEST(TimerBinding, NoTickReachesAnEntryAfterItsTimerIsKilledOrItIsReleased) {
    Window w(nullptr, WS_POPUP);
    int killed = 0, released = 0, destroyed = 0, live = 0;
    TimerEntries k, r, keep;
    auto gone = std::make_unique<TimerEntries>();
    k.Create(0, [&](HWND, UINT, UINT_PTR, DWORD) { ++killed; });
    r.Create(1, [&](HWND, UINT, UINT_PTR, DWORD) { ++released; });
    gone->Create(0, [&](HWND, UINT, UINT_PTR, DWORD) { ++destroyed; });
    keep.Create(0, [&](HWND, UINT, UINT_PTR, DWORD) { ++live; });
    k.Set(0, w.hwnd, 1, 10);
    r.Set(1, w.hwnd, 2, 10);
    gone->Set(0, w.hwnd, 3, 10);
    keep.Set(0, w.hwnd, 4, 10);
    EXPECT_TRUE(k.Kill(w.hwnd, 1));
    r.Release();
    gone.reset();
    // Ticks already queued for the killed timers must not get through either.
    EXPECT_TRUE(Pump([&] { return live >= 5; }, 2000));
    EXPECT_EQ(killed + released + destroyed, 0);
}

TEST(TimerBinding, AThreadTimerReachesItsEntryUnderTheIdTheSystemChose) {
    TimerEntries entries;
    int ticks = 0;
    UINT_PTR seenId = 0;
    entries.Create(1, [&](HWND hwnd, UINT, UINT_PTR id, DWORD) {
        ++ticks;
        seenId = id;
        entries.Kill(hwnd, id);
    });
    const UINT_PTR id = entries.Set(1, nullptr, 77, 10);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(Pump([&] { return ticks > 0; }, 1000));
    EXPECT_EQ(seenId, id);
    Pump(nullptr, 60);
    EXPECT_EQ(ticks, 1) << "killed under that id";
}

TEST(TimerBinding, ReleasingEntriesStopsTheirTimersInTheSystem) {
    Window w(nullptr, WS_POPUP);
    TimerEntries entries;
    entries.Create(0, [](HWND, UINT, UINT_PTR, DWORD) {});
    entries.Create(1, [](HWND, UINT, UINT_PTR, DWORD) {});
    ASSERT_NE(entries.Set(0, w.hwnd, 5, 1000), 0u);
    ASSERT_NE(entries.Set(1, w.hwnd, 6, 1000), 0u);
    entries.Release();
    EXPECT_FALSE(KillTimer(w.hwnd, 5)) << "no timer left running";
    EXPECT_FALSE(KillTimer(w.hwnd, 6));
}

TEST(TimerBinding, ATickForAWindowAndIdNoEntrySetStopsThatTimer) {
    Window w(nullptr, WS_POPUP);
    TimerEntries entries;
    entries.Create(0, [](HWND, UINT, UINT_PTR, DWORD) {});
    ASSERT_NE(entries.Set(0, w.hwnd, 5, 10), 0u);
    // The system's timer message names the procedure that handles it.
    MSG msg{};
    const ULONGLONG end = GetTickCount64() + 1000;
    while (!PeekMessageW(&msg, w.hwnd, WM_TIMER, WM_TIMER, PM_NOREMOVE) && GetTickCount64() < end)
        Sleep(5);
    const auto procedure = reinterpret_cast<TIMERPROC>(msg.lParam);
    ASSERT_NE(procedure, nullptr);
    // The same procedure for an id that no entry set, as a timer outliving its entry would be.
    ASSERT_NE(SetTimer(w.hwnd, 6, 10, procedure), 0u);
    Pump(nullptr, 100);
    EXPECT_FALSE(KillTimer(w.hwnd, 6)) << "its first tick stopped it";
    EXPECT_TRUE(KillTimer(w.hwnd, 5)) << "the entry's own timer runs on";
}

TEST(TimerBinding, ATickMayDestroyItsOwnObject) {
    Window w(nullptr, WS_POPUP);
    int ticks = 0;
    auto entries = std::make_unique<TimerEntries>();
    entries->Create(0, [&](HWND, UINT, UINT_PTR, DWORD) {
        ++ticks;
        entries.reset();
    });
    entries->Set(0, w.hwnd, 9, 10);
    Pump(nullptr, 150);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(entries, nullptr);
}

// ---- GDI+ start-up per window tree ----

// Points the GDI+ library name at another library for the scope.
class GdiplusLibraryScope {
  public:
    explicit GdiplusLibraryScope(std::string name) { gdip::SetGdiplusLibraryName(std::move(name)); }
    ~GdiplusLibraryScope() { gdip::SetGdiplusLibraryName(gdip::DefaultGdiplusLibraryName()); }
    GdiplusLibraryScope(const GdiplusLibraryScope&) = delete;
    GdiplusLibraryScope& operator=(const GdiplusLibraryScope&) = delete;
};

std::string FakeGdiplusPath() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"fake_gdiplus.dll";
    return std::string(path.begin(), path.end());
}

long EnvCount(const char* name) {
    char text[32] = {};
    const DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    return n > 0 && n < sizeof text ? std::strtol(text, nullptr, 10) : 0;
}

bool FakeLoaded() {
    return GetModuleHandleW(L"fake_gdiplus.dll") != nullptr;
}

HWND MarkerOf(HWND container) {
    return control::FindGdiplusMarker(control::RootWindowOf(container));
}

TEST(SharedGdiplus, ContainersUnderOneRootShareOneStartUpAndOtherRootsGetTheirOwn) {
    Window root(nullptr, WS_OVERLAPPEDWINDOW);
    Window inner(root.hwnd, WS_CHILD);
    Window innermost(inner.hwnd, WS_CHILD);
    Window owned(nullptr, WS_POPUP, L"Static", root.hwnd); // owned by the root
    Window ownedChild(owned.hwnd, WS_CHILD);
    Window otherRoot(nullptr, WS_OVERLAPPEDWINDOW);

    cCrossComm first, second, third, elsewhere, none;
    first.ManageGDIToken(innermost.hwnd);
    ASSERT_NE(first.gdiToken(), 0);
    ASSERT_NE(first.gdiToken(), -1);
    const HWND marker = FindWindowExW(root.hwnd, nullptr, L"Static", L"GDI+Safe Patch");
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(GetParent(marker), root.hwnd);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(marker, GWL_STYLE)) & (WS_CHILD | WS_VISIBLE),
              static_cast<DWORD>(WS_CHILD));
    RECT box{};
    GetWindowRect(marker, &box);
    POINT origin{0, 0};
    ClientToScreen(root.hwnd, &origin);
    const RECT atOrigin{origin.x, origin.y, origin.x, origin.y};
    EXPECT_TRUE(EqualRect(&box, &atOrigin)) << "at the root's client origin, 0 x 0";

    second.ManageGDIToken(inner.hwnd);
    EXPECT_EQ(second.gdiToken(), -1);
    third.ManageGDIToken(ownedChild.hwnd);
    EXPECT_EQ(third.gdiToken(), -1) << "the owner's tree is the same tree";

    elsewhere.ManageGDIToken(otherRoot.hwnd);
    EXPECT_NE(elsewhere.gdiToken(), 0);
    EXPECT_NE(elsewhere.gdiToken(), -1);
    EXPECT_NE(MarkerOf(otherRoot.hwnd), nullptr);
    EXPECT_NE(MarkerOf(otherRoot.hwnd), marker);

    none.ManageGDIToken(nullptr);
    EXPECT_EQ(none.gdiToken(), 0);

    DestroyWindow(root.hwnd);
    DestroyWindow(otherRoot.hwnd);
    EXPECT_FALSE(IsWindow(marker));
    Pump(nullptr, 120); // the shutdowns run
}

class FakeGdiplus : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEnvironmentVariableA("FAKE_GDIPLUS_STARTUPS", nullptr);
        SetEnvironmentVariableA("FAKE_GDIPLUS_SHUTDOWNS", nullptr);
        SetEnvironmentVariableA("FAKE_GDIPLUS_FAIL", nullptr);
        ASSERT_FALSE(FakeLoaded());
    }
    void TearDown() override { SetEnvironmentVariableA("FAKE_GDIPLUS_FAIL", nullptr); }
    GdiplusLibraryScope scope_{FakeGdiplusPath()};
};

TEST_F(FakeGdiplus, ShutsDownAboutFiftyMillisecondsAfterTheRootIsDestroyedThenUnloads) {
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        Window root(nullptr, WS_OVERLAPPEDWINDOW);
        Window container(root.hwnd, WS_CHILD);
        intptr_t token = 0;
        {
            cCrossComm shared;
            shared.ManageGDIToken(container.hwnd);
            token = shared.gdiToken();
        } // the shared state never shuts GDI+ down itself
        EXPECT_EQ(token, 0x5150 + round);
        EXPECT_EQ(EnvCount("FAKE_GDIPLUS_STARTUPS"), round);
        const HWND marker = MarkerOf(container.hwnd);
        ASSERT_NE(marker, nullptr);
        EXPECT_TRUE(FakeLoaded()) << "the start-up holds the library";
        // Neither time nor the messages the marker handles before its end shut GDI+ down.
        SendMessageW(marker, WM_NULL, 0, 0);
        SendMessageW(marker, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"GDI+Safe Patch"));
        Pump(nullptr, 80);
        EXPECT_EQ(EnvCount("FAKE_GDIPLUS_SHUTDOWNS"), round - 1);
        const ULONGLONG destroyed = GetTickCount64();
        DestroyWindow(root.hwnd);
        EXPECT_FALSE(IsWindow(marker));
        EXPECT_EQ(EnvCount("FAKE_GDIPLUS_SHUTDOWNS"), round - 1);
        ASSERT_TRUE(Pump([] { return !FakeLoaded(); }, 2000));
        EXPECT_GE(GetTickCount64() - destroyed, 40u);
        EXPECT_EQ(EnvCount("FAKE_GDIPLUS_SHUTDOWNS"), round);
        EXPECT_EQ(EnvCount("FAKE_GDIPLUS_LAST_SHUTDOWN"), token);
    }
}

// The root's window procedure for the nesting test.
std::function<void(HWND)> g_onWheel;
LRESULT CALLBACK NestingRootProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_MOUSEWHEEL && g_onWheel) {
        g_onWheel(hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(FakeGdiplus, ARootDestroyedWhileTheMarkerHandlesAMessageShutsDownAfterThatCallReturns) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = NestingRootProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MoirelleNestingRoot";
    RegisterClassW(&wc);
    Window root(nullptr, WS_OVERLAPPEDWINDOW, L"MoirelleNestingRoot");
    cCrossComm shared;
    shared.ManageGDIToken(root.hwnd);
    const HWND marker = MarkerOf(root.hwnd);
    ASSERT_NE(marker, nullptr);

    // A child passes a wheel message on to its parent, so the root's procedure runs while the
    // marker's is still on the stack; it destroys the root and handles messages for a while.
    bool ran = false, markerGone = false;
    long shutdownsInside = -1;
    g_onWheel = [&](HWND hwnd) {
        ran = true;
        DestroyWindow(hwnd);
        markerGone = !IsWindow(marker);
        Pump(nullptr, 150);
        shutdownsInside = EnvCount("FAKE_GDIPLUS_SHUTDOWNS");
    };
    SendMessageW(marker, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    g_onWheel = nullptr;
    ASSERT_TRUE(ran) << "the wheel message did not reach the root";
    EXPECT_TRUE(markerGone);
    EXPECT_EQ(shutdownsInside, 0);
    EXPECT_TRUE(Pump([] { return EnvCount("FAKE_GDIPLUS_SHUTDOWNS") == 1; }, 2000));
    EXPECT_TRUE(Pump([] { return !FakeLoaded(); }, 500));
}

TEST_F(FakeGdiplus, WithoutAWorkingGdiplusTheTokenStaysZeroAndNoMarkerIsMade) {
    Window root(nullptr, WS_OVERLAPPEDWINDOW);
    {
        SetEnvironmentVariableA("FAKE_GDIPLUS_FAIL", "1");
        cCrossComm shared;
        shared.ManageGDIToken(root.hwnd);
        EXPECT_EQ(shared.gdiToken(), 0);
        EXPECT_FALSE(FakeLoaded()) << "no reference kept for a failed start-up";
        SetEnvironmentVariableA("FAKE_GDIPLUS_FAIL", nullptr);
    }
    for (const char* name : {"", "no-such-gdiplus.dll", "kernel32.dll"}) {
        SCOPED_TRACE(name);
        GdiplusLibraryScope missing(name);
        cCrossComm shared;
        shared.ManageGDIToken(root.hwnd);
        EXPECT_EQ(shared.gdiToken(), 0);
    }
    EXPECT_EQ(MarkerOf(root.hwnd), nullptr);
}

TEST_F(FakeGdiplus, AMarkerThatCannotBeMadeLeavesGdiplusStartedAndNoErrorBehind) {
    // A window that is gone: GDI+ starts, the marker cannot be made under it.
    Window gone(nullptr, WS_OVERLAPPEDWINDOW);
    const HWND stale = gone.hwnd;
    DestroyWindow(stale);
    cCrossComm shared;
    SetLastError(ERROR_ACCESS_DENIED);
    shared.ManageGDIToken(stale);
    EXPECT_EQ(GetLastError(), 0u) << "errors inside are cleared";
    EXPECT_NE(shared.gdiToken(), 0);
    EXPECT_EQ(EnvCount("FAKE_GDIPLUS_STARTUPS"), 1);
    ASSERT_TRUE(FakeLoaded()) << "with no shutdown arranged the library stays loaded";
    FreeLibrary(GetModuleHandleW(L"fake_gdiplus.dll")); // for the tests after this one
    EXPECT_FALSE(FakeLoaded());
}

} // namespace
} // namespace moirelle::test
