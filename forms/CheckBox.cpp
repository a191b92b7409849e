#include "forms/CheckBox.h"

#include "platform/win/Text.h"

namespace moirelle::forms {

void CheckBox::Create(HWND parentWindow) {
    if (!CreateChildWindow(parentWindow, L"BUTTON", win::Widen(caption_), BS_3STATE | WS_TABSTOP))
        return;
    gdiFont_ = font_.Create(FontDpi());
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(gdiFont_.get()), FALSE);
    SendMessageW(window_, BM_SETCHECK, static_cast<WPARAM>(value_), 0);
}

void CheckBox::Value(int16_t value) {
    if (value < vbUnchecked || value > vbGrayed || value == value_) return;
    value_ = value;
    if (window_) SendMessageW(window_, BM_SETCHECK, static_cast<WPARAM>(value_), 0);
    Click();
}

void CheckBox::Command(WORD code) {
    if (code == BN_CLICKED) Value(value_ == vbChecked ? vbUnchecked : vbChecked);
}

void CheckBox::Caption(std::string text) {
    caption_ = std::move(text);
    if (window_) SetWindowTextW(window_, win::Widen(caption_).c_str());
}

void CheckBox::ForeColor(uint32_t oleColor) {
    foreColor_ = oleColor;
    if (window_) InvalidateRect(window_, nullptr, TRUE);
}

void CheckBox::BackColor(uint32_t oleColor) {
    backColor_ = oleColor;
    backBrush_.reset();
    if (window_) InvalidateRect(window_, nullptr, TRUE);
}

void CheckBox::Font(forms::Font font) {
    font_ = std::move(font);
    if (!window_) return;
    gdiFont_ = font_.Create(FontDpi());
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(gdiFont_.get()), TRUE);
}

void CheckBox::DpiChanged(double oldTx, double oldTy) {
    Control::DpiChanged(oldTx, oldTy);
    if (!window_) return;
    // The window lets go of the old font before it is deleted.
    win::UniqueFont font = font_.Create(FontDpi());
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    gdiFont_ = std::move(font);
}

HBRUSH CheckBox::ControlColor(HDC dc) {
    if (!backBrush_) backBrush_.reset(CreateSolidBrush(TranslateColor(backColor_)));
    SetTextColor(dc, TranslateColor(foreColor_));
    SetBkColor(dc, TranslateColor(backColor_));
    return backBrush_.get();
}

} // namespace moirelle::forms
