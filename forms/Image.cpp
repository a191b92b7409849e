#include "forms/Image.h"

#include "forms/ScaleMode.h"
#include "platform/win/Handles.h"

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
    if (CopyBitmap(dc, w, h)) return;
    int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    picture_.Render(dc, 0, 0, w, h);
    SetStretchBltMode(dc, oldMode);
}

bool Image::CopyBitmap(HDC dc, int w, int h) const {
    DWORD attributes = 0;
    if (picture_.Type() != PICTYPE_BITMAP || FAILED(picture_.Get()->get_Attributes(&attributes)) ||
        (attributes & PICTURE_TRANSPARENT) || w != picture_.PixelWidth() ||
        h != picture_.PixelHeight())
        return false;
    // One memory device context for every such copy of the thread (selecting a bitmap takes
    // no new one).
    static thread_local win::UniqueMemoryDC source(CreateCompatibleDC(nullptr));
    const auto bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(picture_.Handle()));
    if (!source) return false;
    const HGDIOBJ previous = SelectObject(source.get(), bitmap);
    // Held by another device context (the picture's own), the bitmap is drawn by the picture.
    if (!previous || previous == HGDI_ERROR) return false;
    const bool copied = BitBlt(dc, 0, 0, w, h, source.get(), 0, 0, SRCCOPY) != FALSE;
    SelectObject(source.get(), previous);
    return copied;
}

void Image::MouseInput(MouseAction action, int16_t button, int16_t, float, float) {
    if (action == MouseAction::Click && button == 1) Click(Index());
}

} // namespace moirelle::forms
