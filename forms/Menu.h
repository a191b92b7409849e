#pragma once
// A menu used as a popup: a list of items, each with a caption ("-" is a separator), an
// enabled and a checked state, visibility and a Click event.

#include "forms/Event.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace moirelle::forms {

class MenuItem;

class Menu {
  public:
    explicit Menu(std::string caption = {}) : caption_(std::move(caption)) {}
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    const std::string& Caption() const { return caption_; }
    const std::vector<MenuItem*>& Items() const { return items_; }

    // Shows the visible items at the pointer, owned by `owner`, and runs the chosen item's
    // Click after the menu closed. Answers the chosen item, or null.
    MenuItem* Popup(HWND owner);

  private:
    friend class MenuItem;
    std::string caption_;
    std::vector<MenuItem*> items_;
};

class MenuItem {
  public:
    MenuItem(Menu& menu, std::string caption);
    ~MenuItem();
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    const std::string& Caption() const { return caption_; }
    void Caption(std::string caption) { caption_ = std::move(caption); }
    bool Enabled() const { return enabled_; }
    void Enabled(bool enabled) { enabled_ = enabled; }
    bool Checked() const { return checked_; }
    void Checked(bool checked) { checked_ = checked; }
    bool Visible() const { return visible_; }
    void Visible(bool visible) { visible_ = visible; }
    bool IsSeparator() const { return caption_ == "-"; }

    Event<> Click;

  private:
    friend class Menu;
    Menu* menu_;
    std::string caption_;
    bool enabled_ = true;
    bool checked_ = false;
    bool visible_ = true;
};

} // namespace moirelle::forms
