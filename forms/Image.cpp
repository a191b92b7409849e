#include "forms/Image.h"

#include "forms/ScaleMode.h"

namespace moirelle::forms {

void Image::Picture(forms::Picture picture) {
    picture_ = std::move(picture);
    FitToPicture();
    InvalidateArea(PixelRect());
}

void Image::Stretch(bool stretch) {
    stretch_ = stretch;
    FitToPicture();
    InvalidateArea(PixelRect());
}

void Image::FitToPicture() {
    if (stretch_ || picture_.Empty()) return;
    Move(Left(), Top(), PixelsToTwips(picture_.PixelWidth(), TwipsPerPixelX()),
         PixelsToTwips(picture_.PixelHeight(), TwipsPerPixelY()));
}

void Image::Paint(HDC dc) {
    if (picture_.Empty()) return;
    RECT r = PixelRect();
    int w = stretch_ ? r.right - r.left : picture_.PixelWidth();
    int h = stretch_ ? r.bottom - r.top : picture_.PixelHeight();
    int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    picture_.Render(dc, 0, 0, w, h);
    SetStretchBltMode(dc, oldMode);
}

void Image::MouseInput(MouseAction action, int16_t button, int16_t, float, float) {
    if (action == MouseAction::Click && button == 1) Click(Index());
}

} // namespace moirelle::forms
