#include "app/FrmMagnet.h"

#include "app/AppResources.h"
#include "app/FrmOpt.h"
#include "app/Pictures.h"
#include "app/StartButton.h"
#include "forms/Screen.h"

namespace moirelle::app {
namespace {

// The overlay starts this much lower than one start-button height above the screen's
// bottom, until the first placement.
constexpr int32_t kStartOffsetTwips = 30;

} // namespace

FrmMagnet::FrmMagnet()
    : Form({.caption = "Moirelle",
            .width = 6105,
            .height = 795,
            .borderStyle = 0,
            .showInTaskbar = false,
            .iconResource = IDI_MOIRELLE}) {
    forms::Picture skin = BuiltInBitmap(IDB_DEFAULT_SKIN);
    Image1.Stretch(true);
    Image1.Picture(skin);
    Image2.Stretch(true);
    Image2.Picture(skin);
    Image2.Visible(false);
    Timer1.Tick.Bind(this, &FrmMagnet::Timer1_Timer);
}

void FrmMagnet::Form_Load() {
    Left(0);
    Top(forms::Screen::Height() - (StartButtonHeight() - kStartOffsetTwips));
    Height(WorkAreaBottomGap());
    Width(forms::Screen::Width());
    Image1.Width(Width());
    aicFX.ScaleMethod(1);
    aicFX.Width(Image1.Width());
    aicFX.Height(Height());
    LocateTaskbar(true);
    if (options_) options_->Show();
}

TaskbarRect FrmMagnet::LocateTaskbar(bool inTwips) {
    TaskbarRect taskbar = ReadTaskbarRect(inTwips);
    // Reading the options window's height loads it on the first run.
    int32_t tolerance = options_ ? options_->NormalHeight() : 0;
    OverlayPlace now{Left(), Top(), Width(), Height()};
    OverlayPlace next = PlaceOverlay(taskbar, forms::Screen::Height(), tolerance, now);
    if (next != now) Move(next.left, next.top, next.width, next.height);
    return taskbar;
}

} // namespace moirelle::app
