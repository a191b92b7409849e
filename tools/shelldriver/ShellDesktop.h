#pragma once
// What the end-to-end tests do from outside the program, as a user and the shell would:
// find windows, read their rectangles, layered attributes and screen pixels, and give real
// mouse input. Every wait handles this thread's messages (the test's own windows live on
// it) and is bounded.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace moirelle::shelldriver {

// Handles this thread's messages for `ms` milliseconds.
void Pump(DWORD ms);
// Handles messages until `done()` holds or `timeoutMs` passed; answers whether it held.
template <class Pred> bool WaitFor(Pred done, DWORD timeoutMs = 5000) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        Pump(20);
    }
}

HWND Taskbar();
RECT WindowRect(HWND hwnd);
bool SameRect(const RECT& a, const RECT& b);
std::string Describe(const RECT& r);

// The window's constant alpha when it is layered with one; nothing when it is not layered.
struct Layered {
    BYTE alpha = 255;
    COLORREF key = 0;
    DWORD flags = 0;
};
std::optional<Layered> LayeredOf(HWND hwnd);

// Brings a window to the front of the screen's stacking without changing its band.
void RaiseOnScreen(HWND hwnd);

// The colour of a screen pixel (RGB value), read from the screen's device context.
COLORREF ScreenPixel(int x, int y);
// A hash of the screen's row `y` from `left` to `right` (0 for an empty or unreadable row).
uint64_t ScreenRowHash(int left, int right, int y);

// One absolute mouse input at the screen point, with the given button flags (0: a move).
INPUT MouseAt(POINT screen, DWORD flags);
// Real mouse input: the pointer goes to the screen point and stays, then one click.
enum class Button { Left, Right };
// Real input that moves the pointer to the screen point, and waits until it stays.
void MoveTo(POINT screen);
void ClickAt(POINT screen, Button button);

// A visible top-level window of the process with the class and, when given, the title.
HWND ProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title = nullptr);
// A direct child of the class whose text is `text`.
HWND ChildWithText(HWND parent, const wchar_t* className, const wchar_t* text);

// A plain top-level window of the test's own, filled with one colour.
class ColourWindow {
  public:
    ColourWindow(const wchar_t* className, RECT r, COLORREF colour, bool topmost = false);
    ~ColourWindow();
    ColourWindow(const ColourWindow&) = delete;
    ColourWindow& operator=(const ColourWindow&) = delete;
    HWND hwnd() const { return hwnd_; }

  private:
    HWND hwnd_ = nullptr;
    HBRUSH brush_ = nullptr;
};

} // namespace moirelle::shelldriver
