#pragma once
// The overlay: a borderless window laid exactly under the shell's taskbar and kept there
// by a 100 ms timer. It carries the skin in two layers, the base picture (Image1, stretched)
// and over it the alpha texture (aicFX). Image2 keeps the built-in default skin. Its load
// sequence sizes it from the start button and the work area and places it over the
// taskbar; that first placement reads the options window's height, which loads the options
// window first.
//
// No overlay ever takes the focus or is closed by the user.
//
// The overlay of the primary taskbar also keeps one overlay for each secondary taskbar (one
// per further monitor): with the same skin, laid exactly on its taskbar and below it in
// z-order, never in the topmost band. Its timer notices secondary taskbars that appear or vanish; a
// change of the displays is followed at once.

#include "app/TaskbarPlacement.h"
#include "control/aicAlphaImage.h"
#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Timer.h"
#include "forms/UserControl.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace moirelle::app {

class FrmOpt;

class FrmMagnet : public forms::Form {
  public:
    // The primary taskbar's overlay, or with a window handle the overlay of that secondary
    // taskbar.
    explicit FrmMagnet(HWND secondaryTaskbar = nullptr);
    ~FrmMagnet() override;
    // The options window, whose height the placement reads (set before loading).
    void Options(FrmOpt& options) { options_ = &options; }

    // Finds the taskbar, answers its rectangle (twips when asked) and moves the overlay
    // under it (see PlaceOverlay).
    TaskbarRect LocateTaskbar(bool inTwips);
    // Places every overlay and follows secondary taskbars that appeared or vanished.
    void FollowTaskbars();

    // The skin of every overlay: the base picture, and the texture from a file (none for an
    // empty path).
    void BasePicture(const forms::Picture& picture);
    void Texture(const std::wstring& path);
    // Shows or hides every overlay.
    void ShowOverlays(bool show);
    // Shows the overlay without activating it (hides the form's Show, which activates).
    void Show();
    // The secondary taskbars that have an overlay now.
    std::vector<HWND> SecondaryTaskbars() const;

    forms::Image Image1{*this, {0, 0, 6105, 795}};
    forms::Image Image2{*this, {0, 0, 6105, 795}};
    forms::Hosted<control::aicAlphaImage> aicFX{*this, {0, 0, 6105, 795}, forms::PropertyBag{}};
    forms::Timer Timer1{*this, 100, true};

  protected:
    void Form_Load() override;
    void Form_QueryUnload(bool& cancel, int16_t unloadMode) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void Timer1_Timer() { FollowTaskbars(); }
    void FollowSecondaryTaskbars();
    // A secondary overlay: on its taskbar's rectangle, below it (never topmost).
    void PlaceOnSecondary();
    // Every overlay is placed in screen twips and sized in its own window's (see
    // WindowMove): its place now, and the move to a place, answering the sizes moved with.
    PlacementScale Scale() const;
    OverlayPlace PlaceNow();
    OverlayPlace MoveTo(const OverlayPlace& place);

    FrmOpt* options_ = nullptr;
    HWND secondaryTaskbar_ = nullptr;
    std::vector<std::unique_ptr<FrmMagnet>> secondaries_;
    std::wstring texturePath_;
    bool overlaysShown_ = true;
    // The skin's sizes along a horizontal taskbar (twips: picture width and height, texture
    // width and height), and whether it lies along a side now.
    std::array<int32_t, 4> horizontalSkin_{};
    bool vertical_ = false;
};

} // namespace moirelle::app
