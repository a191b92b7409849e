#pragma once
// Units of measure of the forms layer and conversions between them. Geometry of forms and
// controls is kept in twips (1/1440 inch); the screen's twips-per-pixel factors come from
// the display's resolution.

#include <cstdint>

namespace moirelle::forms {

inline constexpr int16_t vbUser = 0;
inline constexpr int16_t vbTwips = 1;
inline constexpr int16_t vbPoints = 2;
inline constexpr int16_t vbPixels = 3;
inline constexpr int16_t vbCharacters = 4;
inline constexpr int16_t vbInches = 5;
inline constexpr int16_t vbMillimeters = 6;
inline constexpr int16_t vbCentimeters = 7;
inline constexpr int16_t vbHimetric = 8;
inline constexpr int16_t vbContainerPosition = 9;
inline constexpr int16_t vbContainerSize = 10;

// Twips in one unit of `mode` along the given axis, with the given twips per pixel. Modes
// 0, 9 and 10 are relative to some object and have to be resolved by the caller first;
// unknown modes count as twips.
double TwipsPerUnit(int16_t mode, bool vertical, double twipsPerPixel);

// Converts a value between two absolute modes along one axis.
double ConvertScale(double value, int16_t fromMode, int16_t toMode, bool vertical,
                    double twipsPerPixel);

// Twips to whole pixels and back, rounded to nearest (halves to even).
int32_t TwipsToPixels(double twips, double twipsPerPixel);
int32_t PixelsToTwips(double pixels, double twipsPerPixel);

} // namespace moirelle::forms
