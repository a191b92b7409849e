#pragma once
// What forms and boxes share: a window that holds controls. The container paints its
// background and its windowless controls (double-buffered, in declaration order), routes
// mouse and keyboard input to the topmost windowless control that its hit test accepts,
// delivers the notifications of its windowed controls, runs the timers placed on it and,
// when a control asks for it, accepts OLE drops.

#include "forms/Control.h"
#include "forms/DataObject.h"
#include "forms/Variant.h"
#include "platform/win/ComPtr.h"
#include "platform/win/Handles.h"

#include <ole2.h>
#include <windows.h>

#include <optional>
#include <string_view>
#include <vector>

namespace moirelle::forms {

class Timer;
class UserControl;

class Container {
  public:
    virtual ~Container();
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    // The window, or null while the container is not created. (A form's hWnd() loads it.)
    HWND Window() const { return window_; }

    // Scale mode of the container (vbTwips by default); used for conversions of the user
    // controls inside it. Geometry of controls is always in twips.
    int16_t ScaleMode() const { return scaleMode_; }
    void ScaleMode(int16_t mode);
    // Background colour (an OLE colour).
    uint32_t BackColor() const { return backColor_; }
    void BackColor(uint32_t oleColor);
    // Client size in the container's scale mode (a form not loaded yet loads first).
    float ScaleWidth();
    float ScaleHeight();
    // Converts a horizontal or vertical measure between scale modes; vbUser,
    // vbContainerPosition and vbContainerSize mean this container's scale mode.
    double ScaleX(double value, int16_t fromMode, int16_t toMode) const;
    double ScaleY(double value, int16_t fromMode, int16_t toMode) const;
    // Twips per pixel of the window: from its monitor's resolution when it scales itself per
    // monitor, from the screen's otherwise. Controls inside convert their twips with these.
    double TwipsPerPixelX() const;
    double TwipsPerPixelY() const;
    // The window's own dots per inch, or 0 while the screen's apply. A box has its form's.
    virtual int WindowDpi() const { return dpi_; }

    // The controls directly inside, in declaration order.
    const std::vector<Control*>& Controls() const { return controls_; }
    // A property read by name (case-insensitive): "ScaleMode" (Integer), "hWnd" (handle),
    // "BackColor" (Long), "ScaleWidth", "ScaleHeight" (Single). Nothing for other names.
    std::optional<Variant> Property(std::string_view name);

    // The ambient user-mode flag of the controls inside: true at run time.
    virtual bool UserMode() const = 0;
    // Whether the container is on screen now (the form shown, the box visible in it).
    virtual bool ShownOnScreen() const = 0;

    // The OLE drop target registered for the window while a control accepts drops.
    IDropTarget* DropTarget() const { return dropTarget_.Get(); }

    // Paints background and windowless controls of the client area `area` into `dc`,
    // whose logical coordinates are the client's.
    void PaintContent(HDC dc, const RECT& area);
    // Draws the client area `area` now through a device context of the window, without
    // invalidating it: a part that changes many times a second (an animation) is drawn
    // without a round of update regions and paint messages each time. Its back buffer is
    // kept for the next draw.
    void DrawArea(const RECT& area);

    static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  protected:
    explicit Container(uint32_t backColor);

    // Creates the controls inside, after the window exists.
    void CreateControls();
    // Lets the controls go before the window is destroyed.
    void DestroyControls();
    // Tells every control inside (and inside nested boxes) that visibility changed.
    void NotifyShownChanged();
    // Takes the resolution of the window's monitor, once the window exists.
    void ReadWindowDpi();
    // The window is now at `dpi` (its monitor changed): every control is laid out again
    // from its twips. Answers false when the resolution is the one already in use.
    bool ApplyDpi(int dpi);
    // Whether `dpi` is the resolution in use now (true for 0: nothing to change).
    bool IsCurrentDpi(int dpi) const;
    // Lays the controls inside out again after the twips per pixel were `oldTx`, `oldTy`.
    void RelayoutControls(double oldTx, double oldTy);

    // Creates the window when the container makes its own (a form loads itself).
    virtual void EnsureCreated() {}
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Mouse input that hit no windowless control; x, y in client pixels.
    virtual void BackgroundMouse(MouseAction /*action*/, int16_t /*button*/, int16_t /*shift*/,
                                 float /*x*/, float /*y*/) {}
    // The window is being destroyed.
    virtual void WindowDestroyed() {}

    HWND window_ = nullptr;

  private:
    friend class Control;
    friend class Timer;
    friend class UserControl;
    friend class DropTargetSite;

    void AddControl(Control* control);
    void RemoveControl(Control* control);
    void AddTimer(Timer* timer);
    void RemoveTimer(Timer* timer);
    void ApplyTabOrder();
    // Registers the drop target when a control inside accepts drops.
    void UpdateDropTarget();

    int16_t ResolveScale(int16_t mode) const;
    void HandleMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    Control* HitControl(POINT pt, std::vector<Control*>* asked);
    // The pointer left the window: the control that had it hears so, as for a move.
    void PointerLeftWindow();
    Control* FindByWindow(HWND child) const;
    void Paint();
    enum class DragStep { Enter, Over, Leave, Drop };
    void Drag(DragStep step, IDataObject* data, DWORD keys, POINTL screen, DWORD* effect);

    std::vector<Control*> controls_;
    std::vector<Timer*> timers_;
    int16_t scaleMode_ = 1;
    int dpi_ = 0;
    uint32_t backColor_;
    Control* hover_ = nullptr;
    Control* pressed_ = nullptr;
    int16_t pressedButton_ = 0;
    bool pressedTwice_ = false;
    bool trackingLeave_ = false;
    Control* keyFocus_ = nullptr;
    win::ComPtr<IDropTarget> dropTarget_;
    bool oleStarted_ = false;
    UserControl* dragTarget_ = nullptr;
    std::optional<DataObject> dragData_;
    // DrawArea's back buffer (the device context goes first, then the bitmap it holds).
    win::UniqueBitmap drawBitmap_;
    win::UniqueMemoryDC drawDC_;
    SIZE drawSize_{};
};

// Mouse buttons and shift keys in the forms' numbering: left 1, right 2, middle 4;
// Shift 1, Ctrl 2, Alt 4.
int16_t ButtonsOfKeys(WPARAM keys);
int16_t ShiftState();

} // namespace moirelle::forms
