#pragma once
// The host of windowless user controls. A user control derives from UserControl, overrides
// the UserControl_* event handlers it needs, and is placed on a form as a Hosted<> member:
//
//     class Badge : public forms::UserControl {
//       public:
//         using UserControl::UserControl;
//         std::string_view TypeName() const override { return "Badge"; }
//       protected:
//         void UserControl_Paint() override { /* draw into hDC() */ }
//     };
//     forms::Hosted<Badge> badge{*this, {0, 0, 1500, 600}};
//
// Lifecycle: Initialize when the instance is created; InitProperties (a new control) or
// ReadProperties (a control with stored properties) and then Resize when its container is
// created; Show and Hide as it appears on and leaves the screen; Paint whenever its area is
// painted; Terminate when the instance goes away. The control works in pixels: ScaleWidth,
// ScaleHeight, and the positions of its mouse and drag events are pixels of the control.
//
// Mouse input: the container asks the topmost windowless control under the pointer through
// UserControl_HitTest (HitResult enters as 0; the control sets 3 to take the pointer) and
// routes the input to the first one that takes it. When the pointer moved out of the
// rectangle of the control that took it at the previous hit test, that control is asked
// once more with its own coordinates of the pointer (now outside it) and a HitResult of 0,
// so that it can notice the pointer left. Click and DblClick follow a press
// and release of any button over the control; the pressed control keeps the mouse until
// the button is released.

#include "forms/Control.h"
#include "forms/DataObject.h"
#include "forms/Picture.h"
#include "forms/PropertyBag.h"

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace moirelle::forms {

inline constexpr int16_t vbHitResultOutside = 0;
inline constexpr int16_t vbHitResultTransparent = 1;
inline constexpr int16_t vbHitResultClose = 2;
inline constexpr int16_t vbHitResultHit = 3;

inline constexpr int16_t vbOLEDropNone = 0;
inline constexpr int16_t vbOLEDropManual = 1;

inline constexpr int16_t vbEnter = 0;
inline constexpr int16_t vbLeave = 1;
inline constexpr int16_t vbOver = 2;

inline constexpr int16_t vbDefault = 0;
inline constexpr int16_t vbCustom = 99;

struct AmbientProperties {
    bool UserMode = true;
    uint32_t BackColor = 0;
};

class UserControl : public Control {
  public:
    // `stored` holds the properties kept for this instance (ReadProperties gets them);
    // without it the control is new and gets InitProperties.
    UserControl(Container& parent, Bounds twips, std::optional<PropertyBag> stored = {});
    ~UserControl() override;

    std::string_view TypeName() const override { return "UserControl"; }

    // --- What the control reads of its host ---------------------------------------
    AmbientProperties Ambient() const;
    HWND ContainerHwnd() const;
    const std::vector<Control*>& ParentControls() const;
    // Inner size in pixels.
    float ScaleWidth() const;
    float ScaleHeight() const;
    // Conversions; vbUser is the control's own scale (pixels), vbContainerPosition and
    // vbContainerSize the container's scale mode.
    double ScaleX(double value, int16_t fromMode, int16_t toMode) const;
    double ScaleY(double value, int16_t fromMode, int16_t toMode) const;
    // Resizes the control (twips), keeping its position.
    void Size(int32_t widthTwips, int32_t heightTwips);
    // The device context to paint into; valid during UserControl_Paint only, null otherwise.
    HDC hDC() const { return paintDC_; }

    // 0 default, 1..15 the system's pointers, 99 the MouseIcon; other values are ignored.
    int16_t MousePointer() const { return mousePointer_; }
    void MousePointer(int16_t pointer);
    const Picture& MouseIcon() const { return mouseIcon_; }
    void MouseIcon(Picture icon) { mouseIcon_ = std::move(icon); }
    // 0 none, 1 manual (the control gets OLEDragOver and OLEDragDrop); others ignored.
    int16_t OLEDropMode() const { return oleDropMode_; }
    void OLEDropMode(int16_t mode);

    // Tells the container that a stored property changed.
    void PropertyChanged(std::string_view name);
    // The names given to PropertyChanged so far, oldest first.
    const std::vector<std::string>& ChangedProperties() const { return changed_; }
    // Asks the control to write its properties (WriteProperties) into a new bag.
    PropertyBag SaveProperties();

    bool Sited() const { return sited_; }
    bool Shown() const { return shown_; }

    // --- Called by the hosting container ------------------------------------------
    void Create(HWND parentWindow) override;
    void Destroy() override;
    void Paint(HDC dc) override;
    bool HitTest(float x, float y) override;
    void PointerLeft(float x, float y) override;
    void MouseInput(MouseAction action, int16_t button, int16_t shift, float x, float y) override;
    bool TakesKeyFocus() const override { return Enabled(); }
    void KeyInput(UINT message, WPARAM key) override;
    HCURSOR Cursor() const override;
    void ShownChanged() override;
    // OLE drag steps: vbEnter, vbLeave, vbOver, or -1 for the drop.
    void DragInput(int16_t state, DataObject& data, int32_t& effect, int16_t button, int16_t shift,
                   float x, float y);

  protected:
    virtual void UserControl_Initialize() {}
    virtual void UserControl_InitProperties() {}
    virtual void UserControl_ReadProperties(PropertyBag& /*bag*/) {}
    virtual void UserControl_WriteProperties(PropertyBag& /*bag*/) {}
    virtual void UserControl_Show() {}
    virtual void UserControl_Hide() {}
    virtual void UserControl_Resize() {}
    virtual void UserControl_Paint() {}
    virtual void UserControl_Terminate() {}
    virtual void UserControl_HitTest(float /*x*/, float /*y*/, int16_t& hitResult) {
        hitResult = vbHitResultHit;
    }
    virtual void UserControl_MouseDown(int16_t /*button*/, int16_t /*shift*/, float /*x*/,
                                       float /*y*/) {}
    virtual void UserControl_MouseMove(int16_t /*button*/, int16_t /*shift*/, float /*x*/,
                                       float /*y*/) {}
    virtual void UserControl_MouseUp(int16_t /*button*/, int16_t /*shift*/, float /*x*/,
                                     float /*y*/) {}
    virtual void UserControl_Click() {}
    virtual void UserControl_DblClick() {}
    virtual void UserControl_KeyDown(int16_t& /*keyCode*/, int16_t /*shift*/) {}
    virtual void UserControl_KeyPress(int16_t& /*keyAscii*/) {}
    virtual void UserControl_KeyUp(int16_t& /*keyCode*/, int16_t /*shift*/) {}
    virtual void UserControl_OLEDragOver(DataObject& /*data*/, int32_t& /*effect*/,
                                         int16_t /*button*/, int16_t /*shift*/, float /*x*/,
                                         float /*y*/, int16_t /*state*/) {}
    virtual void UserControl_OLEDragDrop(DataObject& /*data*/, int32_t& /*effect*/,
                                         int16_t /*button*/, int16_t /*shift*/, float /*x*/,
                                         float /*y*/) {}

    // For Hosted<>: the instance is complete / about to go.
    void Start();
    void Stop();

    void BoundsChanged(const RECT& oldPixels) override;

  private:
    void UpdateShown();
    int16_t ResolveScale(int16_t mode) const;

    std::optional<PropertyBag> stored_;
    bool started_ = false;
    bool sited_ = false;
    bool shown_ = false;
    bool terminated_ = false;
    HDC paintDC_ = nullptr;
    int16_t mousePointer_ = 0;
    Picture mouseIcon_;
    int16_t oleDropMode_ = 0;
    std::vector<std::string> changed_;
};

// A user control as placed on a form (user controls take the container and their bounds
// first in their constructors): raises Initialize once the instance is complete and
// Terminate before it is taken apart.
template <class T> class Hosted final : public T {
    static_assert(std::is_base_of_v<UserControl, T>, "Hosted<> holds user controls");

  public:
    template <class... A>
    Hosted(Container& parent, Bounds twips, A&&... args)
        : T(parent, twips, std::forward<A>(args)...) {
        this->Start();
    }
    ~Hosted() override { this->Stop(); }
};

} // namespace moirelle::forms
