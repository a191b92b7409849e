#pragma once
// The image type codes an image object reports through ImageType. The numbers are part
// of the library's interface (callers store and compare them).

#include <cstdint>

namespace moirelle {

inline constexpr int32_t imgNone = -1;              // destroyed
inline constexpr int32_t imgBlank = 0;              // blank or erased; a new object
inline constexpr int32_t imgBitmap = 1;             // bitmap without usable alpha
inline constexpr int32_t imgMetafile = 2;           // Windows metafile picture
inline constexpr int32_t imgIcon = 3;               // icon, transparency from its AND mask
inline constexpr int32_t imgEnhMetafile = 4;        // enhanced metafile picture
inline constexpr int32_t imgCursor = 5;             // cursor, transparency from its AND mask
inline constexpr int32_t imgAlphaStraight = 6;      // straight alpha, premultiplied on loading
inline constexpr int32_t imgAlphaPremultiplied = 7; // already premultiplied; shadows
inline constexpr int32_t imgIconAlpha = 8;          // icon with an alpha channel
inline constexpr int32_t imgGIF = 9;                // GIF image
inline constexpr int32_t imgPNG = 10;               // PNG, or anything decoded through GDI+
inline constexpr int32_t imgIconPNG = 11;           // icon whose image is PNG data
inline constexpr int32_t imgCursorAlpha = 12;       // cursor with an alpha channel
inline constexpr int32_t imgCheckerBoard = 64;      // a checkerboard was painted over it

// Readable name of a type code ("PNG", "icon with alpha", ...); "unknown" for others.
const char* ImageTypeName(int32_t type);

} // namespace moirelle
