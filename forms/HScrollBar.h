#pragma once
// A horizontal scroll bar with Min, Max (Min may exceed Max), Value, SmallChange and
// LargeChange. Change is raised on every change of Value: arrows, page clicks, dragging
// the thumb, keyboard, or code.

#include "forms/Control.h"
#include "forms/Event.h"

namespace moirelle::forms {

class HScrollBar : public Control {
  public:
    using Control::Control;
    std::string_view TypeName() const override { return "HScrollBar"; }

    int16_t Min() const { return min_; }
    void Min(int16_t value);
    int16_t Max() const { return max_; }
    void Max(int16_t value);
    int16_t Value() const { return value_; }
    // Values outside the range are ignored.
    void Value(int16_t value);
    // Changes of 0 or less are ignored.
    int16_t SmallChange() const { return smallChange_; }
    void SmallChange(int16_t change);
    int16_t LargeChange() const { return largeChange_; }
    void LargeChange(int16_t change);

    Event<> Change;

    bool IsWindowless() const override { return false; }
    void Create(HWND parentWindow) override;
    void Scroll(WORD code) override;

  private:
    // Position within the bar (0 at the Min end) and back.
    int32_t ToPosition(int32_t value) const;
    int32_t FromPosition(int32_t position) const;
    int32_t Span() const;
    void ApplyRange();
    void KeepValueInRange();
    // Moves to the value limited to the range; raises Change when it moved.
    void StepTo(int32_t value);

    int16_t min_ = 0;
    int16_t max_ = 32767;
    int16_t value_ = 0;
    int16_t smallChange_ = 1;
    int16_t largeChange_ = 1;
};

} // namespace moirelle::forms
