#include "forms/Menu.h"

#include "platform/win/Text.h"

#include <algorithm>

namespace moirelle::forms {
namespace {

struct PopupMenuHandle {
    HMENU h = CreatePopupMenu();
    ~PopupMenuHandle() {
        if (h) DestroyMenu(h);
    }
};

} // namespace

Menu::~Menu() {
    for (MenuItem* item : items_)
        item->menu_ = nullptr;
}

MenuItem* Menu::Popup(HWND owner) {
    PopupMenuHandle menu;
    if (!menu.h) return nullptr;
    for (size_t i = 0; i < items_.size(); ++i) {
        const MenuItem* item = items_[i];
        if (!item->Visible()) continue;
        UINT_PTR id = i + 1;
        if (item->IsSeparator()) {
            AppendMenuW(menu.h, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (item->Enabled() ? MF_ENABLED : MF_GRAYED) |
                     (item->Checked() ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuW(menu.h, flags, id, win::Widen(item->Caption()).c_str());
    }
    POINT pt{};
    GetCursorPos(&pt);
    // The owner has to be the foreground window, or the menu stays open when the user
    // clicks elsewhere (notably for menus of a notification icon).
    SetForegroundWindow(owner);
    UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu.h, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, pt.x, pt.y, 0, owner, nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);
    if (chosen == 0 || chosen > items_.size()) return nullptr;
    MenuItem* item = items_[chosen - 1];
    item->Click();
    return item;
}

MenuItem::MenuItem(Menu& menu, std::string caption) : menu_(&menu), caption_(std::move(caption)) {
    menu.items_.push_back(this);
}

MenuItem::~MenuItem() {
    if (menu_) std::erase(menu_->items_, this);
}

} // namespace moirelle::forms
