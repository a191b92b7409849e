#pragma once
// The overlay: a borderless window laid exactly under the shell's taskbar and kept there
// by a 100 ms timer. It carries the skin in two layers, the base picture (Image1, stretched)
// and over it the alpha texture (aicFX). Image2 keeps the built-in default skin. Its load
// sequence sizes it from the start button and the work area and places it over the
// taskbar; that first placement reads the options window's height, which loads the options
// window first.

#include "app/TaskbarPlacement.h"
#include "control/aicAlphaImage.h"
#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Timer.h"
#include "forms/UserControl.h"

namespace moirelle::app {

class FrmOpt;

class FrmMagnet : public forms::Form {
  public:
    FrmMagnet();
    // The options window, whose height the placement reads (set before loading).
    void Options(FrmOpt& options) { options_ = &options; }

    // Finds the taskbar, answers its rectangle (twips when asked) and moves the overlay
    // under it (see PlaceOverlay).
    TaskbarRect LocateTaskbar(bool inTwips);

    forms::Image Image1{*this, {0, 0, 6105, 795}};
    forms::Image Image2{*this, {0, 0, 6105, 795}};
    forms::Hosted<control::aicAlphaImage> aicFX{*this, {0, 0, 6105, 795}, forms::PropertyBag{}};
    forms::Timer Timer1{*this, 100, true};

  protected:
    void Form_Load() override;

  private:
    void Timer1_Timer() { LocateTaskbar(true); }

    FrmOpt* options_ = nullptr;
};

} // namespace moirelle::app
