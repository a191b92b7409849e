#include "forms/Label.h"

#include "platform/win/Text.h"

namespace moirelle::forms {

void Label::Caption(std::string text) {
    caption_ = std::move(text);
    Changed();
}

void Label::ForeColor(uint32_t oleColor) {
    foreColor_ = oleColor;
    Changed();
}

void Label::BackColor(uint32_t oleColor) {
    backColor_ = oleColor;
    Changed();
}

void Label::BackStyle(int16_t style) {
    if (style != vbTransparent && style != vbOpaque) return;
    backStyle_ = style;
    Changed();
}

void Label::Alignment(int16_t alignment) {
    if (alignment < vbLeftJustify || alignment > vbCenter) return;
    alignment_ = alignment;
    Changed();
}

void Label::Font(forms::Font font) {
    font_ = std::move(font);
    gdiFont_.reset();
    Changed();
}

void Label::DpiChanged(double oldTx, double oldTy) {
    gdiFont_.reset();
    Control::DpiChanged(oldTx, oldTy);
}

void Label::Paint(HDC dc) {
    RECT r = PixelRect();
    RECT area{0, 0, r.right - r.left, r.bottom - r.top};
    if (backStyle_ == vbOpaque) {
        win::UniqueBrush brush(CreateSolidBrush(TranslateColor(backColor_)));
        FillRect(dc, &area, brush.get());
    }
    if (!gdiFont_) gdiFont_ = font_.Create(FontDpi());
    win::ScopedSelect font(dc, gdiFont_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TranslateColor(foreColor_));
    UINT format = DT_WORDBREAK | DT_NOPREFIX |
                  (alignment_ == vbCenter         ? DT_CENTER
                   : alignment_ == vbRightJustify ? DT_RIGHT
                                                  : DT_LEFT);
    std::wstring text = win::Widen(caption_);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
}

void Label::MouseInput(MouseAction action, int16_t button, int16_t, float, float) {
    if (action == MouseAction::Click && button == 1) Click(Index());
}

} // namespace moirelle::forms
