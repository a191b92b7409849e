#include "dib/ImageType.h"

namespace moirelle {

const char* ImageTypeName(int32_t type) {
    switch (type) {
    case imgNone:
        return "none";
    case imgBlank:
        return "blank";
    case imgBitmap:
        return "bitmap";
    case imgMetafile:
        return "metafile";
    case imgIcon:
        return "icon";
    case imgEnhMetafile:
        return "enhanced metafile";
    case imgCursor:
        return "cursor";
    case imgAlphaStraight:
        return "straight alpha";
    case imgAlphaPremultiplied:
        return "premultiplied alpha";
    case imgIconAlpha:
        return "icon with alpha";
    case imgGIF:
        return "GIF";
    case imgPNG:
        return "PNG";
    case imgIconPNG:
        return "PNG icon";
    case imgCursorAlpha:
        return "cursor with alpha";
    case imgCheckerBoard:
        return "checkerboard";
    default:
        return "unknown";
    }
}

} // namespace moirelle
