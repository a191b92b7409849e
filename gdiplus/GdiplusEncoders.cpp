#include "gdiplus/GdiplusEncoders.h"

#include <vector>

namespace moirelle::gdip {

std::wstring ReadWideText(const WCHAR* p) {
    return p ? std::wstring(p) : std::wstring();
}

int32_t FindEncoder(const Api& api, std::wstring_view mimeType, CLSID& clsid) {
    UINT count = 0;
    UINT bytes = 0;
    if (api.GdipGetImageEncodersSize(&count, &bytes) != statusOk || count == 0) return -1;
    // The list is the records followed by the texts they point at.
    if (bytes / sizeof(ImageCodecInfo) < count) return -1;
    std::vector<ImageCodecInfo> buffer((bytes + sizeof(ImageCodecInfo) - 1) /
                                       sizeof(ImageCodecInfo));
    if (api.GdipGetImageEncoders(count, bytes, buffer.data()) != statusOk) return -1;

    for (UINT i = 0; i < count; ++i) {
        const std::wstring mime = ReadWideText(buffer[i].MimeType);
        if (CompareStringOrdinal(mime.data(), static_cast<int>(mime.size()), mimeType.data(),
                                 static_cast<int>(mimeType.size()), TRUE) == CSTR_EQUAL) {
            clsid = buffer[i].Clsid;
            return static_cast<int32_t>(i) + 1;
        }
    }
    return -1;
}

} // namespace moirelle::gdip
