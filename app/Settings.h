#pragma once
// The settings file "Moirelle.ini" beside the executable: the rules per state shared by
// every taskbar, each taskbar's own skin and rules (sections named by its monitor's device
// name, kept while that monitor is away), whether every taskbar shows the same skin, and
// the pictures used last. The shared skin itself stays in lastskin.cfg and FXskin.cfg.
//
// The file is UTF-16 with a byte-order mark, read with the profile calls, so any path fits.
// It is written whole to a temporary file that then replaces it, so a failed write leaves
// the old file. An entry that cannot be read, or that is not known, gives its default and
// the file is rewritten at the next save.

#include "app/TaskbarSkins.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace moirelle::app {

inline constexpr const char* kSettingsFile = "Moirelle.ini";
inline constexpr size_t kRecentPictures = 8;
inline constexpr uint8_t kMaximisedAlpha = 255;

// What a state changes: the taskbar's opacity, the skin, or nothing (both absent).
struct StateRule {
    std::optional<uint8_t> alpha;
    std::optional<Skin> skin;
    bool ChangesSomething() const { return alpha || skin; }
    friend bool operator==(const StateRule&, const StateRule&) = default;
};

// By default a maximised window makes the taskbar opaque over the same skin, and the
// start menu changes nothing.
struct TaskbarRules {
    StateRule maximised{kMaximisedAlpha, std::nullopt};
    StateRule startMenu{};
    friend bool operator==(const TaskbarRules&, const TaskbarRules&) = default;
};

struct TaskbarSettings {
    // Nothing: the shared skin.
    std::optional<Skin> skin;
    TaskbarRules rules;
    friend bool operator==(const TaskbarSettings&, const TaskbarSettings&) = default;
};

// The file's text as the profile calls give it: sections in order, each with its entries.
struct IniSection {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> entries;
};
using IniText = std::vector<IniSection>;

class Settings {
  public:
    // Whether the taskbars follow the states at all (the desktop's events are watched).
    bool rules = true;
    bool sameOnEveryTaskbar = true;
    TaskbarRules sharedRules;
    // By monitor device name.
    std::map<std::string, TaskbarSettings> taskbars;
    // Newest first, at most kRecentPictures, UTF-8 paths.
    std::vector<std::string> recentPictures;

    // The settings of the taskbar on the monitor: its own when every taskbar does not
    // show the same, else the shared skin (nothing) and rules.
    TaskbarSettings For(const std::string& key) const;
    // Puts the picture first in the recent list (once), keeping at most kRecentPictures.
    void UsePicture(const std::string& path);

    // Whether reading met an entry that could not be read or was not known.
    bool needsRewrite = false;

    // The settings a text holds; unreadable or unknown entries give defaults.
    static Settings Parse(const IniText& text);
    // The text that Parse reads back as these settings.
    IniText Format() const;

    // Reads the file with the profile calls; a missing or unreadable file gives defaults.
    static Settings Read(const std::wstring& path);
    // Writes the file in one step; false (the old file intact) when it cannot be written.
    bool Write(const std::wstring& path) const;
    // The file beside the executable.
    static std::wstring DefaultPath();

    friend bool operator==(const Settings& a, const Settings& b) {
        return a.rules == b.rules && a.sameOnEveryTaskbar == b.sameOnEveryTaskbar &&
               a.sharedRules == b.sharedRules && a.taskbars == b.taskbars &&
               a.recentPictures == b.recentPictures;
    }
};

// The whole file's text: a byte-order mark, then "[section]" and "key=value" lines, CR LF;
// values are quoted so that leading and trailing spaces survive.
std::wstring IniFileText(const IniText& text);

} // namespace moirelle::app
