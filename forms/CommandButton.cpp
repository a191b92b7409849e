#include "forms/CommandButton.h"

#include "platform/win/Text.h"

namespace moirelle::forms {

void CommandButton::Create(HWND parentWindow) {
    if (!CreateChildWindow(parentWindow, L"BUTTON", win::Widen(caption_),
                           BS_PUSHBUTTON | WS_TABSTOP))
        return;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
}

void CommandButton::Caption(std::string text) {
    caption_ = std::move(text);
    if (window_) SetWindowTextW(window_, win::Widen(caption_).c_str());
}

void CommandButton::Value(bool press) {
    if (press) Click();
}

void CommandButton::Command(WORD code) {
    if (code == BN_CLICKED) Click();
}

} // namespace moirelle::forms
