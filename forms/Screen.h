#pragma once
// The primary display, measured in twips.

#include <cstdint>

namespace moirelle::forms {

class Screen {
  public:
    // The display's dots per inch (96 when it cannot be read).
    static int LogPixelsX();
    static int LogPixelsY();
    // Twips per pixel from the display's resolution: 1440 / dots per inch (15 at 96 dpi).
    static float TwipsPerPixelX();
    static float TwipsPerPixelY();
    // The primary display's size in twips.
    static int32_t Width();
    static int32_t Height();
};

} // namespace moirelle::forms
