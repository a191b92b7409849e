#pragma once
// A check box: caption, font, colours and Value (0 unchecked, 1 checked, 2 grayed).
// Click is raised whenever Value changes, by the user or by code.

#include "forms/Color.h"
#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/Font.h"

#include <string>

namespace moirelle::forms {

inline constexpr int16_t vbUnchecked = 0;
inline constexpr int16_t vbChecked = 1;
inline constexpr int16_t vbGrayed = 2;

class CheckBox : public Control {
  public:
    using Control::Control;
    std::string_view TypeName() const override { return "CheckBox"; }

    int16_t Value() const { return value_; }
    // Values other than 0, 1 and 2 are ignored.
    void Value(int16_t value);
    const std::string& Caption() const { return caption_; }
    void Caption(std::string text);
    uint32_t ForeColor() const { return foreColor_; }
    void ForeColor(uint32_t oleColor);
    uint32_t BackColor() const { return backColor_; }
    void BackColor(uint32_t oleColor);
    const forms::Font& Font() const { return font_; }
    void Font(forms::Font font);

    Event<> Click;

    bool IsWindowless() const override { return false; }
    void Create(HWND parentWindow) override;
    void Command(WORD code) override;
    HBRUSH ControlColor(HDC dc) override;
    void DpiChanged(double oldTx, double oldTy) override;

  private:
    int16_t value_ = vbUnchecked;
    std::string caption_;
    uint32_t foreColor_ = colorButtonText;
    uint32_t backColor_ = colorButtonFace;
    forms::Font font_;
    win::UniqueFont gdiFont_;
    win::UniqueBrush backBrush_;
};

} // namespace moirelle::forms
