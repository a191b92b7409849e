#pragma once
// A font as forms describe it: face name, size in points and style.

#include "platform/win/Handles.h"

#include <string>

namespace moirelle::forms {

struct Font {
    std::string name = "MS Sans Serif";
    float size = 8.25f;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    // A GDI font for `dpi` dots per inch (0: the screen's resolution).
    win::UniqueFont Create(int dpi = 0) const;
    friend bool operator==(const Font&, const Font&) = default;
};

} // namespace moirelle::forms
