// The pointer and the image control: hit shapes, the windowless hit test that makes an
// instance the pointer's owner, the tracking timer that notices the pointer leaving, and
// the mouse, key and click events.
#include "control/aicAlphaImage.h"

#include "control/ControlFlags.h"
#include "forms/ScaleMode.h"

#include <cmath>

namespace moirelle::control {
namespace {

constexpr UINT kTrackInterval = 100;
constexpr char kTimerTag[] = "Timer";

int32_t Round(double v) {
    return static_cast<int32_t>(std::nearbyint(v));
}

} // namespace

void aicAlphaImage::BuildHitRegion() {
    RECT whole{0, 0, ScaleWidthPx(), ScaleHeightPx()};
    // The shape lies where the picture is drawn: moved by the image offsets.
    OffsetRect(&whole, imageOffsetX_, imageOffsetY_);
    if (!RunTime() || !Enabled()) {
        hitRect_ = whole;
        hitShapeMade_.reset();
        return;
    }
    if (hitTest_ == 0) {
        hitRegion_.reset();
        hitRect_ = whole;
        hitShapeMade_.reset();
        return;
    }
    if (!image_->Handle()) {
        // No picture, nothing to hit.
        hitRegion_.reset();
        hitRect_ = RECT{};
        hitShapeMade_.reset();
        return;
    }
    if (Flag(kBackBufferInUse)) BuildBackBuffer(false, false);
    const HitKey key{CurrentDrawKey(), hitTest_};
    if (hitShapeMade_ == key) return;
    hitShapeMade_ = key;
    ++work_.hitShapes;
    hitRegion_.reset();
    // The shape of the pixels as they are painted.
    win::UniqueRegion region;
    if (backBuffer_ && backBufferDrawn_ == key.drawn) {
        region = backBuffer_->CreateRegion(hitTest_ - 1, 0, 0);
    } else if (c32bppDIB* cache = PaintCache()) {
        const bool controlSized = Flag(kRotateEnabled);
        region = cache->CreateRegion(hitTest_ - 1, controlSized ? 0 : drawLeft_,
                                     controlSized ? 0 : drawTop_);
    } else if (isActualSize_) {
        region = image_->CreateRegion(hitTest_ - 1, drawLeft_, drawTop_);
    }
    if (hitTest_ == 1) {
        RECT box{};
        if (region) GetRgnBox(region.get(), &box);
        hitRect_ = box;
    } else {
        hitRegion_ = std::move(region);
        if (!hitRegion_) hitRect_ = RECT{};
    }
    MoveHitShape(imageOffsetX_, imageOffsetY_);
}

void aicAlphaImage::MoveHitShape(int32_t dx, int32_t dy) {
    if (hitRegion_)
        OffsetRgn(hitRegion_.get(), dx, dy);
    else
        OffsetRect(&hitRect_, dx, dy);
}

bool aicAlphaImage::HitsPoint(int32_t x, int32_t y) const {
    if (hitRegion_) return PtInRegion(hitRegion_.get(), x, y) != FALSE;
    return PtInRect(&hitRect_, POINT{x, y}) != FALSE;
}

void aicAlphaImage::UserControl_HitTest(float X, float Y, int16_t& HitResult) {
    if (HitsPoint(Round(X), Round(Y))) HitResult = forms::vbHitResultHit;
    if (!RunTime() || !shared_) return;
    const intptr_t me = Identity();
    if (shared_->CapturedControl() != me) {
        // A miss leaves the pointer with the instance that holds it (it may lie under this
        // one); a hit takes it over, and the holder hears MouseExit first.
        if (HitResult != forms::vbHitResultHit) return;
        POINT cursor{};
        GetCursorPos(&cursor);
        POINT origin{0, 0};
        ClientToScreen(containerHwnd_, &origin);
        controlLeft_ = Round((cursor.x - origin.x) - X);
        controlTop_ = Round((cursor.y - origin.y) - Y);
        // The control's state is complete before any handler runs: a handler may disable or
        // destroy it.
        timers_.Set(TimerEntries::kMouseTracking, containerHwnd_, MouseTimerId(), kTrackInterval);
        Tag(kTimerTag);
        const std::weak_ptr<const bool> alive = alive_;
        const std::shared_ptr<cCrossComm> shared = shared_;
        shared->CapturedControl(me);
        if (alive.expired() || shared->CapturedControl() != me) return;
        MouseEnter();
    } else if (HitResult == forms::vbHitResultOutside) {
        timers_.Kill(containerHwnd_, MouseTimerId());
        Tag("");
        shared_->CapturedControl(0); // raises MouseExit through ReleaseMouseCapture
    }
}

void aicAlphaImage::PointerLeft(float x, float y) {
    if (shared_ && shared_->CapturedControl() != Identity()) return;
    UserControl::PointerLeft(x, y);
}

void aicAlphaImage::MouseTrackTick(HWND hWnd, UINT /*uMsg*/, UINT_PTR idEvent, DWORD /*dwTime*/) {
    timers_.Kill(hWnd, idEvent);
    if (!shared_ || shared_->CapturedControl() != Identity()) {
        Tag("");
        return;
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    bool inside = false;
    if (WindowFromPoint(cursor) == containerHwnd_) {
        POINT origin{0, 0};
        ClientToScreen(containerHwnd_, &origin);
        inside = HitsPoint(cursor.x - origin.x - controlLeft_, cursor.y - origin.y - controlTop_);
    }
    if (inside)
        timers_.Set(TimerEntries::kMouseTracking, hWnd, idEvent, kTrackInterval);
    else
        shared_->CapturedControl(0); // kills the timer, clears the tag, raises MouseExit
}

void aicAlphaImage::ReleaseMouseCapture() {
    if (Tag() == kTimerTag) {
        timers_.Kill(containerHwnd_, MouseTimerId());
        Tag("");
    }
    MouseExit();
}

bool aicAlphaImage::isMouseOver() const {
    return Enabled() && shared_ &&
           shared_->CapturedControl() ==
               IdentityOf(const_cast<ICrossComm*>(static_cast<const ICrossComm*>(this)));
}

float aicAlphaImage::ToContainerX(float x) const {
    return static_cast<float>(
        ScaleX(x, forms::vbPixels, static_cast<int16_t>(containerScaleMode_)));
}

float aicAlphaImage::ToContainerY(float y) const {
    return static_cast<float>(
        ScaleY(y, forms::vbPixels, static_cast<int16_t>(containerScaleMode_)));
}

// --- Events passed on -------------------------------------------------------------------

void aicAlphaImage::UserControl_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
    buttonState_ |= static_cast<uint16_t>(Button & 0x0F);
    MouseDown(Button, Shift, ToContainerX(X), ToContainerY(Y));
}

void aicAlphaImage::UserControl_MouseMove(int16_t Button, int16_t Shift, float X, float Y) {
    MouseMove(Button, Shift, ToContainerX(X), ToContainerY(Y));
}

void aicAlphaImage::UserControl_MouseUp(int16_t Button, int16_t Shift, float X, float Y) {
    buttonState_ &= static_cast<uint16_t>(~0xF0u);
    const uint16_t seen = buttonState_ & 0x0F;
    if ((static_cast<uint16_t>(Button) & ~seen) == 0)
        buttonState_ |= static_cast<uint16_t>((Button & 0x0F) << 4);
    MouseUp(Button, Shift, ToContainerX(X), ToContainerY(Y));
}

void aicAlphaImage::UserControl_Click() {
    Click(static_cast<int16_t>((buttonState_ >> 4) & 0x0F));
}

void aicAlphaImage::UserControl_DblClick() {
    DblClick(static_cast<int16_t>((buttonState_ >> 4) & 0x0F));
}

void aicAlphaImage::UserControl_KeyDown(int16_t& KeyCode, int16_t Shift) {
    KeyDown(KeyCode, Shift);
}

void aicAlphaImage::UserControl_KeyPress(int16_t& KeyAscii) {
    KeyPress(KeyAscii);
}

void aicAlphaImage::UserControl_KeyUp(int16_t& KeyCode, int16_t Shift) {
    KeyUp(KeyCode, Shift);
}

} // namespace moirelle::control
