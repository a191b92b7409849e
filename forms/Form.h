#pragma once
// A top-level window with controls, laid out in twips. A form is declared as a class
// derived from Form; its controls are members, its design settings go to the constructor,
// and its events are the Form_* handlers it overrides:
//
//     class FrmHello : public forms::Form {
//       public:
//         FrmHello() : Form({.caption = "Hello", .width = 4800, .height = 3600}) {
//             Label1.Caption("Hello");
//         }
//         forms::Label Label1{*this, {120, 120, 2000, 255}};
//       protected:
//         void Form_Load() override { ... }
//     };
//
// The window is created on first use: reading or setting any property of the form (or
// calling Show, Load or hWnd) creates it, creates its controls and runs Form_Load first.

#include "forms/Color.h"
#include "forms/Container.h"
#include "forms/Picture.h"

#include <cstdint>
#include <string>

namespace moirelle::forms {

class Menu;

inline constexpr int16_t vbNormal = 0;
inline constexpr int16_t vbMinimized = 1;
inline constexpr int16_t vbMaximized = 2;

inline constexpr int16_t vbFormControlMenu = 0;
inline constexpr int16_t vbFormCode = 1;

struct FormDesign {
    std::string caption;
    // Outer rectangle in twips (screen coordinates).
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 4800;
    int32_t height = 3600;
    // 0 none, 1 fixed single, 2 sizable, 3 fixed dialog, 4 fixed tool window,
    // 5 sizable tool window.
    int16_t borderStyle = 2;
    // A form not shown in the taskbar gets the tool-window style.
    bool showInTaskbar = true;
    // 0 manual (left, top), 2 centred on the screen.
    int16_t startUpPosition = 0;
    uint32_t backColor = colorButtonFace;
    int16_t scaleMode = 1;
    // Icon from the program's resources (0: none).
    int iconResource = 0;
    // The ambient user-mode flag of the controls on the form (false: design time).
    bool userMode = true;
};

class Form : public Container {
  public:
    explicit Form(FormDesign design = {});
    ~Form() override;

    // Creates the window and its controls and runs Form_Load, when not yet done.
    void Load();
    bool Loaded() const { return window_ != nullptr; }
    // Asks Form_QueryUnload and Form_Unload; unless one cancels, destroys the window.
    // Answers whether the form is unloaded.
    bool Unload();

    HWND hWnd();
    int32_t Left();
    int32_t Top();
    int32_t Width();
    int32_t Height();
    void Left(int32_t twips);
    void Top(int32_t twips);
    void Width(int32_t twips);
    void Height(int32_t twips);
    void Move(int32_t left, int32_t top, int32_t width, int32_t height);
    bool Visible();
    void Visible(bool visible);
    int16_t WindowState();
    void WindowState(int16_t state);
    HICON Icon();
    // The form keeps the picture (an icon) for as long as it shows it.
    void Icon(Picture icon);
    std::string Caption();
    void Caption(std::string_view text);

    void Show();
    void Hide();
    // Repaints the form and its controls now.
    void Refresh();
    // Shows the menu as a popup at the pointer and runs the chosen item's Click.
    void PopupMenu(Menu& menu);

    bool UserMode() const override { return design_.userMode; }
    bool ShownOnScreen() const override { return shown_; }

  protected:
    virtual void Form_Load() {}
    // unloadMode: vbFormControlMenu (the user or the system closes the window) or vbFormCode.
    virtual void Form_QueryUnload(bool& /*cancel*/, int16_t /*unloadMode*/) {}
    virtual void Form_Unload(bool& /*cancel*/) {}
    // x, y in the form's scale mode.
    virtual void Form_MouseMove(int16_t /*button*/, int16_t /*shift*/, float /*x*/, float /*y*/) {}

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void BackgroundMouse(MouseAction action, int16_t button, int16_t shift, float x,
                         float y) override;
    void WindowDestroyed() override;

  private:
    bool CloseRequested(int16_t unloadMode);
    void SetShown(bool shown);
    void FocusFirstControl();

    FormDesign design_;
    bool loading_ = false;
    bool shown_ = false;
    bool everShown_ = false;
    int16_t pendingState_ = -1;
    HWND lastFocus_ = nullptr;
    Picture icon_;
    HICON resourceIcon_ = nullptr;
};

} // namespace moirelle::forms
