#pragma once
// The common part of every control placed on a form or in a box: its place in twips
// relative to the container's client area, visibility, enabled state, tag text, index
// within a control array and tab position. Controls are declared as members of their form
// (after the box that contains them, when they sit in one); they get their windows, or
// their place in the container's painting, when the form loads.
//
// Windowless controls (Image, Label, user controls) are painted by their container in the
// order they were declared, later ones on top, and receive mouse input through the
// container's hit test. Windowed controls (CheckBox, HScrollBar, CommandButton, PictureBox)
// are child windows and always lie above the windowless ones.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace moirelle::forms {

class Container;

// A rectangle in twips: left, top, width, height.
struct Bounds {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

enum class MouseAction { Down, Move, Up, Click, DblClick };

class Control {
  public:
    Control(Container& parent, Bounds twips);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Container& Parent() const { return parent_; }
    // The kind of control ("Image", "Label", ... or a user control's own name).
    virtual std::string_view TypeName() const = 0;

    int32_t Left() const { return bounds_.left; }
    int32_t Top() const { return bounds_.top; }
    int32_t Width() const { return bounds_.width; }
    int32_t Height() const { return bounds_.height; }
    void Left(int32_t twips) { Move(twips, bounds_.top, bounds_.width, bounds_.height); }
    void Top(int32_t twips) { Move(bounds_.left, twips, bounds_.width, bounds_.height); }
    void Width(int32_t twips) { Move(bounds_.left, bounds_.top, twips, bounds_.height); }
    void Height(int32_t twips) { Move(bounds_.left, bounds_.top, bounds_.width, twips); }
    // Negative sizes are ignored.
    void Move(int32_t left, int32_t top, int32_t width, int32_t height);

    bool Visible() const { return visible_; }
    void Visible(bool visible);
    bool Enabled() const { return enabled_; }
    void Enabled(bool enabled);
    const std::string& Tag() const { return tag_; }
    void Tag(std::string tag) { tag_ = std::move(tag); }
    // Position within a control array; -1 when the control is not in one.
    int16_t Index() const { return index_; }
    void Index(int16_t index) { index_ = index; }
    // Keyboard order among the windowed controls of the same container (declaration order
    // by default); applied when the form loads.
    int16_t TabIndex() const { return tabIndex_; }
    void TabIndex(int16_t index);

    // The control's window; null for windowless controls and before the form loads.
    HWND hWnd() const { return window_; }
    // The rectangle in the container's client pixels.
    RECT PixelRect() const;
    // Repaints the control now.
    void Refresh();
    // Draws the control's rectangle of its window at once, with what lies under and over it,
    // without invalidating it (see Container::DrawArea); a windowed control is refreshed.
    void DrawNow();

    // --- Called by the hosting container ------------------------------------------
    virtual bool IsWindowless() const { return true; }
    // The container's window now exists: make the control's own window, or get ready.
    virtual void Create(HWND /*parentWindow*/) {}
    // The container's window is about to go.
    virtual void Destroy();
    // Windowless painting: the origin is the control's top-left pixel and drawing is
    // clipped to the control.
    virtual void Paint(HDC /*dc*/) {}
    // Windowless hit test at control pixels inside the rectangle.
    virtual bool HitTest(float /*x*/, float /*y*/) { return true; }
    // The pointer was over this control at the last hit test and no longer is.
    virtual void PointerLeft(float /*x*/, float /*y*/) {}
    virtual void MouseInput(MouseAction /*action*/, int16_t /*button*/, int16_t /*shift*/,
                            float /*x*/, float /*y*/) {}
    virtual bool TakesKeyFocus() const { return false; }
    virtual void KeyInput(UINT /*message*/, WPARAM /*key*/) {}
    // Cursor over the control; null leaves the container's.
    virtual HCURSOR Cursor() const { return nullptr; }
    // Notifications of a windowed control (WM_COMMAND code, WM_HSCROLL code).
    virtual void Command(WORD /*code*/) {}
    virtual void Scroll(WORD /*code*/) {}
    // Colours of a windowed control; null for the system's.
    virtual HBRUSH ControlColor(HDC /*dc*/) { return nullptr; }
    // The control's visibility on screen changed (its own, its container's or the form's).
    virtual void ShownChanged() {}
    // The container's twips per pixel changed from `oldTx`, `oldTy`: the control takes its
    // new pixel rectangle (and remakes what depends on the resolution, such as fonts).
    virtual void DpiChanged(double oldTx, double oldTy);

  protected:
    // Makes the control's window as a child of `parentWindow`.
    bool CreateChildWindow(HWND parentWindow, const wchar_t* className, std::wstring_view text,
                           DWORD style, DWORD exStyle = 0);
    // Position or size changed (size in pixels before the change given).
    virtual void BoundsChanged(const RECT& oldPixels);
    // Invalidates the control's area on the container's window (windowless controls).
    void InvalidateArea(const RECT& pixels) const;
    // True while the control is sited on a created container.
    bool ContainerCreated() const;
    // Twips per pixel of the container.
    double TwipsPerPixelX() const;
    double TwipsPerPixelY() const;
    // The container's dots per inch for fonts (0: the screen's).
    int FontDpi() const;

    HWND window_ = nullptr;

  private:
    RECT PixelRectAt(double tx, double ty) const;

    Container& parent_;
    Bounds bounds_;
    bool visible_ = true;
    bool enabled_ = true;
    std::string tag_;
    int16_t index_ = -1;
    int16_t tabIndex_ = -1;
};

} // namespace moirelle::forms
