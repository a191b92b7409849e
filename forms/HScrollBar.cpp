#include "forms/HScrollBar.h"

#include <algorithm>
#include <cstdlib>

namespace moirelle::forms {

int32_t HScrollBar::Span() const {
    return std::abs(static_cast<int32_t>(max_) - min_);
}

int32_t HScrollBar::ToPosition(int32_t value) const {
    return max_ >= min_ ? value - min_ : min_ - value;
}

int32_t HScrollBar::FromPosition(int32_t position) const {
    return max_ >= min_ ? min_ + position : min_ - position;
}

void HScrollBar::Create(HWND parentWindow) {
    if (!CreateChildWindow(parentWindow, L"SCROLLBAR", L"", SBS_HORZ | WS_TABSTOP)) return;
    ApplyRange();
}

void HScrollBar::ApplyRange() {
    if (!window_) return;
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
    si.nMin = 0;
    si.nMax = Span();
    si.nPage = 0;
    si.nPos = ToPosition(value_);
    SetScrollInfo(window_, SB_CTL, &si, TRUE);
}

void HScrollBar::Min(int16_t value) {
    min_ = value;
    KeepValueInRange();
}

void HScrollBar::Max(int16_t value) {
    max_ = value;
    KeepValueInRange();
}

void HScrollBar::KeepValueInRange() {
    // A new range moves the value silently, as a new design value would.
    value_ = static_cast<int16_t>(
        std::clamp<int32_t>(value_, std::min(min_, max_), std::max(min_, max_)));
    ApplyRange();
}

void HScrollBar::Value(int16_t value) {
    int32_t lo = std::min(min_, max_), hi = std::max(min_, max_);
    if (value < lo || value > hi) return;
    StepTo(value);
}

void HScrollBar::SmallChange(int16_t change) {
    if (change > 0) smallChange_ = change;
}

void HScrollBar::LargeChange(int16_t change) {
    if (change > 0) largeChange_ = change;
}

void HScrollBar::StepTo(int32_t value) {
    int32_t lo = std::min(min_, max_), hi = std::max(min_, max_);
    value = std::clamp(value, lo, hi);
    if (value == value_) return;
    value_ = static_cast<int16_t>(value);
    if (window_) SetScrollPos(window_, SB_CTL, ToPosition(value_), TRUE);
    Change();
}

void HScrollBar::Scroll(WORD code) {
    int32_t position = ToPosition(value_);
    switch (code) {
    case SB_LINELEFT:
        position -= smallChange_;
        break;
    case SB_LINERIGHT:
        position += smallChange_;
        break;
    case SB_PAGELEFT:
        position -= largeChange_;
        break;
    case SB_PAGERIGHT:
        position += largeChange_;
        break;
    case SB_LEFT:
        position = 0;
        break;
    case SB_RIGHT:
        position = Span();
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si{};
        si.cbSize = sizeof(si);
        si.fMask = SIF_TRACKPOS;
        if (!window_ || !GetScrollInfo(window_, SB_CTL, &si)) return;
        position = si.nTrackPos;
        break;
    }
    default:
        return;
    }
    position = std::clamp(position, 0, Span());
    StepTo(FromPosition(position));
}

} // namespace moirelle::forms
