#pragma once
// A windowless text label: caption, font, text colour, opaque or transparent background,
// alignment, word wrap within the control. Click (left button) carries the control's index.

#include "forms/Color.h"
#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/Font.h"

#include <string>

namespace moirelle::forms {

inline constexpr int16_t vbLeftJustify = 0;
inline constexpr int16_t vbRightJustify = 1;
inline constexpr int16_t vbCenter = 2;

inline constexpr int16_t vbTransparent = 0;
inline constexpr int16_t vbOpaque = 1;

class Label : public Control {
  public:
    using Control::Control;
    std::string_view TypeName() const override { return "Label"; }

    const std::string& Caption() const { return caption_; }
    void Caption(std::string text);
    uint32_t ForeColor() const { return foreColor_; }
    void ForeColor(uint32_t oleColor);
    uint32_t BackColor() const { return backColor_; }
    void BackColor(uint32_t oleColor);
    // vbTransparent or vbOpaque.
    int16_t BackStyle() const { return backStyle_; }
    void BackStyle(int16_t style);
    // vbLeftJustify, vbRightJustify or vbCenter.
    int16_t Alignment() const { return alignment_; }
    void Alignment(int16_t alignment);
    const forms::Font& Font() const { return font_; }
    void Font(forms::Font font);

    Event<int16_t> Click;

    void Paint(HDC dc) override;
    void DpiChanged(double oldTx, double oldTy) override;
    void MouseInput(MouseAction action, int16_t button, int16_t shift, float x, float y) override;

  private:
    void Changed() { InvalidateArea(PixelRect()); }
    std::string caption_;
    uint32_t foreColor_ = colorButtonText;
    uint32_t backColor_ = colorButtonFace;
    int16_t backStyle_ = vbOpaque;
    int16_t alignment_ = vbLeftJustify;
    forms::Font font_;
    win::UniqueFont gdiFont_;
};

} // namespace moirelle::forms
