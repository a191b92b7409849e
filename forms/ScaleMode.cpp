#include "forms/ScaleMode.h"

#include <cmath>

namespace moirelle::forms {

double TwipsPerUnit(int16_t mode, bool vertical, double twipsPerPixel) {
    switch (mode) {
    case vbPoints:
        return 20.0;
    case vbPixels:
        return twipsPerPixel;
    case vbCharacters:
        return vertical ? 240.0 : 120.0;
    case vbInches:
        return 1440.0;
    case vbMillimeters:
        return 1440.0 / 25.4;
    case vbCentimeters:
        return 1440.0 / 2.54;
    case vbHimetric:
        return 1440.0 / 2540.0;
    default:
        return 1.0;
    }
}

double ConvertScale(double value, int16_t fromMode, int16_t toMode, bool vertical,
                    double twipsPerPixel) {
    if (fromMode == toMode) return value;
    return value * TwipsPerUnit(fromMode, vertical, twipsPerPixel) /
           TwipsPerUnit(toMode, vertical, twipsPerPixel);
}

int32_t TwipsToPixels(double twips, double twipsPerPixel) {
    if (twipsPerPixel <= 0) return 0;
    return static_cast<int32_t>(std::nearbyint(twips / twipsPerPixel));
}

int32_t PixelsToTwips(double pixels, double twipsPerPixel) {
    return static_cast<int32_t>(std::nearbyint(pixels * twipsPerPixel));
}

} // namespace moirelle::forms
