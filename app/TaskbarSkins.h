#pragma once
// What the options window asks of the taskbars: which taskbars there are, the skin each
// keeps, and a skin shown for a moment (while the pointer rests on a thumbnail) before it
// is kept or put back. A taskbar is known by its key, the device name of its monitor
// ("\\.\DISPLAY1"); the empty key means every taskbar that shows the shared skin.

#include <windows.h>

#include <string>
#include <vector>

namespace moirelle::app {

// The two layers of a skin, each named by its file (UTF-8 paths). An empty base is the
// built-in default picture; an empty texture is none.
struct Skin {
    std::string base;
    std::string texture;
    friend bool operator==(const Skin&, const Skin&) = default;
};

struct TaskbarInfo {
    // The device name of the taskbar's monitor.
    std::string key;
    // Shown to the user: "Taskbar 1 (primary)", "Taskbar 2", ...
    std::string name;
    bool primary = false;
    HWND taskbar = nullptr;
};

class TaskbarSkins {
  public:
    virtual ~TaskbarSkins() = default;

    // The taskbars there are now, the primary one first.
    virtual std::vector<TaskbarInfo> Taskbars() = 0;
    // The skin a taskbar keeps (the empty key: the shared skin).
    virtual Skin KeptSkin(const std::string& key) = 0;
    // Shows the skin on the taskbar (the empty key: on every taskbar that shares its skin)
    // and keeps it: the settings file is written, and lastskin.cfg / FXskin.cfg when it is
    // the primary taskbar's skin. A layer whose file cannot be loaded is left as it was;
    // answers whether both layers were applied.
    virtual bool KeepSkin(const std::string& key, const Skin& skin) = 0;
    // Shows the skin at once without keeping it; nothing is written.
    virtual void PreviewSkin(const std::string& key, const Skin& skin) = 0;
    // Puts the kept skins back after previews.
    virtual void EndPreview() = 0;
};

} // namespace moirelle::app
