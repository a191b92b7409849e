#pragma once
// Placed on a form, makes every pixel of that form in one colour (MaskColor) fully
// transparent and click-through. About 1 ms after the control is created on its form, a
// one-shot timer disables the control, keys the form's window on MaskColor and takes the
// form's background colour as its own. The control itself is only a marker; forms place
// it outside their visible area.

#include "forms/PropertyBag.h"
#include "forms/Timer.h"
#include "forms/UserControl.h"

#include <cstdint>
#include <optional>

namespace moirelle::app {

class TransparentColor : public forms::UserControl {
  public:
    TransparentColor(forms::Container& parent, forms::Bounds twips,
                     std::optional<forms::PropertyBag> stored = {});
    std::string_view TypeName() const override { return "TransparentColor"; }

    // Colours are OLE colours (0x00BBGGRR or a system colour).
    uint32_t MaskColor();
    void MaskColor(uint32_t color);
    uint32_t BackColor() const { return backColor_; }
    void BackColor(uint32_t color);
    bool Enable() const { return Enabled(); }
    void Enable(bool enable) { Enabled(enable); }

  protected:
    void UserControl_InitProperties() override;
    void UserControl_ReadProperties(forms::PropertyBag& bag) override;
    void UserControl_WriteProperties(forms::PropertyBag& bag) override;
    void UserControl_Paint() override;

  private:
    void Timer1_Timer();

    forms::Timer Timer1;
    uint32_t maskColor_ = 0;
    uint32_t backColor_ = 0xFFFFFF;
};

} // namespace moirelle::app
