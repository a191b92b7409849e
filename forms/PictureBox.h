#pragma once
// A box: a child window that holds other controls and clips them to its area. Controls
// inside are declared with the box as their container.

#include "forms/Color.h"
#include "forms/Container.h"
#include "forms/Control.h"

namespace moirelle::forms {

class PictureBox : public Control, public Container {
  public:
    PictureBox(Container& parent, Bounds twips);
    ~PictureBox() override;
    std::string_view TypeName() const override { return "PictureBox"; }

    // 0 none, 1 fixed single (a sunken edge); applied when the window is made.
    int16_t BorderStyle() const { return borderStyle_; }
    void BorderStyle(int16_t style) { borderStyle_ = style == 1 ? 1 : 0; }

    bool UserMode() const override { return Control::Parent().UserMode(); }
    bool ShownOnScreen() const override;

    bool IsWindowless() const override { return false; }
    void Create(HWND parentWindow) override;
    void Destroy() override;
    void ShownChanged() override { NotifyShownChanged(); }
    int WindowDpi() const override { return Control::Parent().WindowDpi(); }
    void DpiChanged(double oldTx, double oldTy) override;

  private:
    int16_t borderStyle_ = 0;
};

} // namespace moirelle::forms
