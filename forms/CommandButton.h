#pragma once
// A push button: Click runs when it is pressed with the mouse, with the Space key while it
// has the focus, or with Enter (through the form's keyboard handling); Value(true) runs it
// from code.

#include "forms/Control.h"
#include "forms/Event.h"

#include <string>

namespace moirelle::forms {

class CommandButton : public Control {
  public:
    using Control::Control;
    std::string_view TypeName() const override { return "CommandButton"; }

    const std::string& Caption() const { return caption_; }
    void Caption(std::string text);
    // Setting true runs Click.
    void Value(bool press);

    Event<> Click;

    bool IsWindowless() const override { return false; }
    void Create(HWND parentWindow) override;
    void Command(WORD code) override;

  private:
    std::string caption_;
};

} // namespace moirelle::forms
