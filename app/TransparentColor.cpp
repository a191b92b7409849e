#include "app/TransparentColor.h"

#include "forms/Color.h"
#include "forms/Container.h"
#include "platform/win/Handles.h"

namespace moirelle::app {
namespace {

constexpr uint32_t kDefaultMask = 0;
constexpr uint32_t kDefaultBack = 0xFFFFFF;
constexpr int32_t kOneShotMs = 1;

int32_t AsLong(uint32_t color) {
    return static_cast<int32_t>(color);
}

} // namespace

TransparentColor::TransparentColor(forms::Container& parent, forms::Bounds twips,
                                   std::optional<forms::PropertyBag> stored)
    : UserControl(parent, twips, std::move(stored)), Timer1(parent, kOneShotMs, true) {
    Timer1.Tick.Bind(this, &TransparentColor::Timer1_Timer);
}

uint32_t TransparentColor::MaskColor() {
    Refresh();
    return maskColor_;
}

void TransparentColor::MaskColor(uint32_t color) {
    maskColor_ = color;
    Refresh();
    PropertyChanged("MaskColor");
}

void TransparentColor::BackColor(uint32_t color) {
    backColor_ = color;
    Refresh();
    PropertyChanged("BackColor");
}

void TransparentColor::UserControl_InitProperties() {
    maskColor_ = kDefaultMask;
    backColor_ = kDefaultBack;
}

void TransparentColor::UserControl_ReadProperties(forms::PropertyBag& bag) {
    maskColor_ = static_cast<uint32_t>(bag.Read<int32_t>("MaskColor", AsLong(kDefaultMask)));
    backColor_ = static_cast<uint32_t>(bag.Read<int32_t>("BackColor", AsLong(kDefaultBack)));
    Enabled(bag.Read<bool>("Enable", true));
}

void TransparentColor::UserControl_WriteProperties(forms::PropertyBag& bag) {
    bag.WriteProperty("MaskColor", AsLong(maskColor_), AsLong(kDefaultMask));
    bag.WriteProperty("BackColor", AsLong(backColor_), AsLong(kDefaultBack));
    bag.WriteProperty("Enable", Enabled(), true);
}

// The designer's marker: a red tile saying "TC".
void TransparentColor::UserControl_Paint() {
    HDC dc = hDC();
    RECT r{0, 0, static_cast<LONG>(ScaleWidth()), static_cast<LONG>(ScaleHeight())};
    win::UniqueBrush red(CreateSolidBrush(RGB(255, 0, 0)));
    FillRect(dc, &r, red.get());
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, L"TC", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// Every step runs whatever an earlier one gave; Enable does not gate the key.
void TransparentColor::Timer1_Timer() {
    Enabled(false);
    COLORREF key = forms::TranslateColor(maskColor_);
    auto handle = Parent().Property("hWnd");
    HWND form = nullptr;
    if (handle)
        if (auto h = forms::VariantAs<int64_t>(*handle))
            form = reinterpret_cast<HWND>(static_cast<intptr_t>(*h));
    if (form) {
        SetWindowLongPtrW(form, GWL_EXSTYLE, GetWindowLongPtrW(form, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(form, key, 0, LWA_COLORKEY);
    }
    if (auto back = Parent().Property("BackColor"))
        if (auto c = forms::VariantAs<int32_t>(*back)) backColor_ = static_cast<uint32_t>(*c);
    Timer1.Enabled(false);
}

} // namespace moirelle::app
