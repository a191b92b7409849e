#include "forms/UserControl.h"

#include "forms/Container.h"
#include "forms/ScaleMode.h"

namespace moirelle::forms {
namespace {

const wchar_t* SystemCursorOf(int16_t pointer) {
    switch (pointer) {
    case 1:
        return IDC_ARROW;
    case 2:
        return IDC_CROSS;
    case 3:
        return IDC_IBEAM;
    case 4:
        return IDC_ARROW;
    case 5:
    case 15:
        return IDC_SIZEALL;
    case 6:
        return IDC_SIZENESW;
    case 7:
        return IDC_SIZENS;
    case 8:
        return IDC_SIZENWSE;
    case 9:
        return IDC_SIZEWE;
    case 10:
        return IDC_UPARROW;
    case 11:
        return IDC_WAIT;
    case 12:
        return IDC_NO;
    case 13:
        return IDC_APPSTARTING;
    case 14:
        return IDC_HELP;
    default:
        return nullptr;
    }
}

} // namespace

UserControl::UserControl(Container& parent, Bounds twips, std::optional<PropertyBag> stored)
    : Control(parent, twips), stored_(std::move(stored)) {}

UserControl::~UserControl() = default;

void UserControl::Start() {
    if (started_) return;
    started_ = true;
    UserControl_Initialize();
    if (ContainerCreated()) Create(Parent().Window());
}

void UserControl::Stop() {
    if (!started_ || terminated_) return;
    if (shown_) {
        shown_ = false;
        UserControl_Hide();
    }
    sited_ = false;
    terminated_ = true;
    UserControl_Terminate();
    InvalidateArea(PixelRect());
}

AmbientProperties UserControl::Ambient() const {
    AmbientProperties a;
    a.UserMode = Parent().UserMode();
    a.BackColor = Parent().BackColor();
    return a;
}

HWND UserControl::ContainerHwnd() const {
    return Parent().Window();
}

const std::vector<Control*>& UserControl::ParentControls() const {
    return Parent().Controls();
}

float UserControl::ScaleWidth() const {
    RECT r = PixelRect();
    return static_cast<float>(r.right - r.left);
}

float UserControl::ScaleHeight() const {
    RECT r = PixelRect();
    return static_cast<float>(r.bottom - r.top);
}

int16_t UserControl::ResolveScale(int16_t mode) const {
    if (mode == vbUser) return vbPixels;
    if (mode == vbContainerPosition || mode == vbContainerSize) {
        int16_t c = Parent().ScaleMode();
        return c == vbUser ? vbTwips : c;
    }
    return mode;
}

double UserControl::ScaleX(double value, int16_t fromMode, int16_t toMode) const {
    return ConvertScale(value, ResolveScale(fromMode), ResolveScale(toMode), false,
                        Parent().TwipsPerPixelX());
}

double UserControl::ScaleY(double value, int16_t fromMode, int16_t toMode) const {
    return ConvertScale(value, ResolveScale(fromMode), ResolveScale(toMode), true,
                        Parent().TwipsPerPixelY());
}

void UserControl::Size(int32_t widthTwips, int32_t heightTwips) {
    Move(Left(), Top(), widthTwips, heightTwips);
}

void UserControl::MousePointer(int16_t pointer) {
    if ((pointer >= 0 && pointer <= 15) || pointer == vbCustom) mousePointer_ = pointer;
}

void UserControl::OLEDropMode(int16_t mode) {
    if (mode != vbOLEDropNone && mode != vbOLEDropManual) return;
    oleDropMode_ = mode;
    if (mode == vbOLEDropManual && ContainerCreated()) Parent().UpdateDropTarget();
}

void UserControl::PropertyChanged(std::string_view name) {
    changed_.emplace_back(name);
}

PropertyBag UserControl::SaveProperties() {
    PropertyBag bag;
    UserControl_WriteProperties(bag);
    return bag;
}

void UserControl::Create(HWND /*parentWindow*/) {
    if (!started_ || terminated_ || sited_) return;
    if (stored_)
        UserControl_ReadProperties(*stored_);
    else
        UserControl_InitProperties();
    sited_ = true;
    UserControl_Resize();
    if (oleDropMode_ == vbOLEDropManual) Parent().UpdateDropTarget();
    UpdateShown();
    InvalidateArea(PixelRect());
}

void UserControl::Destroy() {
    if (shown_) {
        shown_ = false;
        UserControl_Hide();
    }
    sited_ = false;
}

void UserControl::ShownChanged() {
    UpdateShown();
}

void UserControl::UpdateShown() {
    bool now = sited_ && Visible() && Parent().ShownOnScreen();
    if (now == shown_) return;
    shown_ = now;
    if (now)
        UserControl_Show();
    else
        UserControl_Hide();
}

void UserControl::BoundsChanged(const RECT& oldPixels) {
    Control::BoundsChanged(oldPixels);
    RECT now = PixelRect();
    bool sized = (now.right - now.left) != (oldPixels.right - oldPixels.left) ||
                 (now.bottom - now.top) != (oldPixels.bottom - oldPixels.top);
    if (sized && sited_) UserControl_Resize();
}

void UserControl::Paint(HDC dc) {
    if (!sited_) return;
    paintDC_ = dc;
    UserControl_Paint();
    paintDC_ = nullptr;
}

bool UserControl::HitTest(float x, float y) {
    if (!sited_) return false;
    int16_t hit = vbHitResultOutside;
    UserControl_HitTest(x, y, hit);
    return hit == vbHitResultHit;
}

void UserControl::PointerLeft(float x, float y) {
    if (!sited_) return;
    int16_t hit = vbHitResultOutside;
    UserControl_HitTest(x, y, hit);
}

void UserControl::MouseInput(MouseAction action, int16_t button, int16_t shift, float x, float y) {
    if (!sited_) return;
    switch (action) {
    case MouseAction::Down:
        UserControl_MouseDown(button, shift, x, y);
        break;
    case MouseAction::Move:
        UserControl_MouseMove(button, shift, x, y);
        break;
    case MouseAction::Up:
        UserControl_MouseUp(button, shift, x, y);
        break;
    case MouseAction::Click:
        UserControl_Click();
        break;
    case MouseAction::DblClick:
        UserControl_DblClick();
        break;
    }
}

void UserControl::KeyInput(UINT message, WPARAM key) {
    if (!sited_) return;
    int16_t code = static_cast<int16_t>(key);
    if (message == WM_KEYDOWN)
        UserControl_KeyDown(code, ShiftState());
    else if (message == WM_KEYUP)
        UserControl_KeyUp(code, ShiftState());
    else if (message == WM_CHAR)
        UserControl_KeyPress(code);
}

HCURSOR UserControl::Cursor() const {
    if (mousePointer_ == vbCustom) {
        if (mouseIcon_.Type() == PICTYPE_ICON)
            return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(mouseIcon_.Handle()));
        return nullptr;
    }
    const wchar_t* id = SystemCursorOf(mousePointer_);
    return id ? LoadCursorW(nullptr, id) : nullptr;
}

void UserControl::DragInput(int16_t state, DataObject& data, int32_t& effect, int16_t button,
                            int16_t shift, float x, float y) {
    if (!sited_) return;
    if (state < 0)
        UserControl_OLEDragDrop(data, effect, button, shift, x, y);
    else
        UserControl_OLEDragOver(data, effect, button, shift, x, y, state);
}

} // namespace moirelle::forms
