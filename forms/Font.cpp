#include "forms/Font.h"

#include "platform/win/Text.h"

#include <cmath>

namespace moirelle::forms {

win::UniqueFont Font::Create(int dpi) const {
    if (dpi <= 0) {
        win::WindowDC screen;
        dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    }
    LOGFONTW lf{};
    lf.lfHeight = -static_cast<LONG>(std::lround(size * static_cast<float>(dpi) / 72.0f));
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    std::wstring face = win::Widen(name);
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return win::UniqueFont(CreateFontIndirectW(&lf));
}

} // namespace moirelle::forms
