#pragma once
// An overlay: a borderless window laid exactly under a shell taskbar and kept there. It
// carries the skin in two layers, the base picture (Image1, stretched) and over it the
// alpha texture (aicFX). Image2 keeps the built-in default skin.
//
// Every taskbar has one overlay of this kind; what differs is data: the primary taskbar's
// overlay is the start-up window. Its load sequence sizes it from the start button and the
// work area and places it over the taskbar; that first placement reads the options window's
// height, which loads the options window first. Its timer (100 ms) places every overlay,
// through the owner of all of them (TaskbarSet). A secondary taskbar's overlay is laid
// exactly on its taskbar's rectangle and below it in z-order, never in the topmost band.
//
// No overlay ever takes the focus or is closed by the user.

#include "app/TaskbarPlacement.h"
#include "control/aicAlphaImage.h"
#include "forms/Event.h"
#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Timer.h"
#include "forms/UserControl.h"

#include <array>
#include <string>

namespace moirelle::app {

class FrmOpt;

// Which taskbar an overlay lies under: the primary one (found by its class on every
// placement), or a secondary one by its window.
struct OverlayRole {
    bool primary = true;
    HWND taskbar = nullptr;
};

class FrmMagnet : public forms::Form {
  public:
    explicit FrmMagnet(OverlayRole role = {});
    ~FrmMagnet() override;
    // The options window, whose height the primary placement reads (set before loading).
    void Options(FrmOpt& options) { options_ = &options; }

    const OverlayRole& Role() const { return role_; }
    // The taskbar window this overlay lies under now (null when there is none).
    HWND TaskbarWindow() const;

    // Finds the taskbar, answers its rectangle (twips when asked) and moves the overlay
    // under it (see PlaceOverlay).
    TaskbarRect LocateTaskbar(bool inTwips);
    // Lays the overlay on its taskbar by the rule of its role.
    void Place();

    // The skin's two layers.
    void BasePicture(const forms::Picture& picture);
    void Texture(const std::wstring& path);
    // Shows the overlay without activating it (hides the form's Show, which activates).
    void Show();

    // Raised by the timer of the primary overlay every 100 ms and when the displays change:
    // the owner of the overlays places them all.
    forms::Event<> Follow;

    forms::Image Image1{*this, {0, 0, 6105, 795}};
    forms::Image Image2{*this, {0, 0, 6105, 795}};
    forms::Hosted<control::aicAlphaImage> aicFX{*this, {0, 0, 6105, 795}, forms::PropertyBag{}};
    forms::Timer Timer1{*this, 100, true};

  protected:
    void Form_Load() override;
    void Form_QueryUnload(bool& cancel, int16_t unloadMode) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void Timer1_Timer();
    // A secondary overlay: on its taskbar's rectangle, below it (never topmost).
    void PlaceOnSecondary();
    // Every overlay is placed in screen twips and sized in its own window's (see
    // WindowMove): its place now, and the move to a place, answering the sizes moved with.
    PlacementScale Scale() const;
    OverlayPlace PlaceNow();
    OverlayPlace MoveTo(const OverlayPlace& place);

    OverlayRole role_;
    FrmOpt* options_ = nullptr;
    // The skin's sizes along a horizontal taskbar (twips: picture width and height, texture
    // width and height), and whether it lies along a side now.
    std::array<int32_t, 4> horizontalSkin_{};
    bool vertical_ = false;
};

} // namespace moirelle::app
