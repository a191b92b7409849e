#include "forms/PictureBox.h"

#include "forms/App.h"
#include "forms/FormsWindowClasses.h"

namespace moirelle::forms {

PictureBox::PictureBox(Container& parent, Bounds twips)
    : Control(parent, twips), Container(colorButtonFace) {}

PictureBox::~PictureBox() {
    // The window goes while this object is whole: its procedure still reaches the box.
    if (Control::window_) {
        DestroyControls();
        DestroyWindow(std::exchange(Control::window_, nullptr));
    }
}

bool PictureBox::ShownOnScreen() const {
    return Visible() && Control::Parent().ShownOnScreen();
}

void PictureBox::Create(HWND parentWindow) {
    if (Control::window_) return;
    EnsureWindowClasses();
    RECT r = PixelRect();
    DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP;
    if (Visible()) style |= WS_VISIBLE;
    if (!Enabled()) style |= WS_DISABLED;
    DWORD exStyle = WS_EX_CONTROLPARENT | (borderStyle_ == 1 ? WS_EX_CLIENTEDGE : 0);
    CreateWindowExW(exStyle, boxClassName, L"", style, r.left, r.top, r.right - r.left,
                    r.bottom - r.top, parentWindow, nullptr, App::hInstance(),
                    static_cast<Container*>(this));
    Control::window_ = Container::window_;
    if (Control::window_) CreateControls();
}

void PictureBox::DpiChanged(double oldTx, double oldTy) {
    Control::DpiChanged(oldTx, oldTy);
    RelayoutControls(oldTx, oldTy);
}

void PictureBox::Destroy() {
    if (Container::window_) DestroyControls();
    Control::Destroy();
}

} // namespace moirelle::forms
