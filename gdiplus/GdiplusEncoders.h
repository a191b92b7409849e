#pragma once
// Finding an image encoder of GDI+ by its MIME type.

#include "gdiplus/GdiplusFlat.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace moirelle::gdip {

// The 1-based position, in GDI+'s encoder list, of the encoder whose MIME type equals
// mimeType without regard to case, with its CLSID in clsid; -1 when there is none.
int32_t FindEncoder(const Api& api, std::wstring_view mimeType, CLSID& clsid);

// A copy of the NUL-terminated UTF-16 text at p (empty for null).
std::wstring ReadWideText(const WCHAR* p);

} // namespace moirelle::gdip
