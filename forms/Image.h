#pragma once
// A windowless picture display. With Stretch the picture fills the control's rectangle;
// without it the picture is drawn at its own size and the control takes that size.
// Click (left button) carries the control's index.

#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/Picture.h"

namespace moirelle::forms {

class Image : public Control {
  public:
    using Control::Control;
    std::string_view TypeName() const override { return "Image"; }

    const forms::Picture& Picture() const { return picture_; }
    void Picture(forms::Picture picture);
    bool Stretch() const { return stretch_; }
    void Stretch(bool stretch);

    Event<int16_t> Click;

    void Paint(HDC dc) override;
    void MouseInput(MouseAction action, int16_t button, int16_t shift, float x, float y) override;

  private:
    void FitToPicture();
    // A bitmap drawn at its own size is copied as it is (no stretch, no halftone); false
    // when the picture is of another kind, has a transparent part or is drawn at another size.
    bool CopyBitmap(HDC dc, int w, int h) const;
    forms::Picture picture_;
    bool stretch_ = false;
};

} // namespace moirelle::forms
