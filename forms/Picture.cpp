#include "forms/Picture.h"

#include "formats/win/modParsersWin.h"
#include "forms/App.h"
#include "forms/Screen.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace moirelle::forms {
namespace {

// Picture files larger than this are refused rather than read into memory.
constexpr LONGLONG maxPictureFileBytes = 256ll << 20;

int32_t HimetricToPixels(int32_t himetric, int dpi) {
    return MulDiv(himetric, dpi, 2540);
}

bool ReadWholeFile(std::string_view path, std::vector<uint8_t>& bytes) {
    std::wstring wide = win::Widen(path);
    win::UniqueFile file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        size.QuadPart > maxPictureFileBytes)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
           read == bytes.size();
}

// A cursor file: icon directory with resource type 2.
bool IsCursorFile(std::span<const uint8_t> bytes) {
    return bytes.size() >= 6 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 2 && bytes[3] == 0;
}

uint32_t Le32(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A bitmap file whose pixel data cannot all be there. Some picture loaders accept such
// files and show whatever memory follows; they are refused here.
bool IsTruncatedBitmap(std::span<const uint8_t> b) {
    if (b.size() < 2 || b[0] != 'B' || b[1] != 'M') return false;
    if (b.size() < 14 + 12) return true;
    uint64_t offBits = Le32(b, 10);
    uint32_t headerSize = Le32(b, 14);
    if (offBits >= b.size()) return true;
    if (headerSize < 40 || b.size() < 14 + 40) return false;
    int32_t width = static_cast<int32_t>(Le32(b, 18));
    int32_t height = static_cast<int32_t>(Le32(b, 22));
    uint32_t bitCount = static_cast<uint32_t>(b[28]) | static_cast<uint32_t>(b[29]) << 8;
    uint32_t compression = Le32(b, 30);
    if (compression != 0 || width <= 0 || height == 0) return false; // left to the loader
    uint64_t rows = static_cast<uint64_t>(std::llabs(static_cast<int64_t>(height)));
    uint64_t stride = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
    return offBits + stride * rows > b.size();
}

// Pictures of more pixels than this are refused before the loader allocates for them.
constexpr uint64_t maxPicturePixels = 1ull << 28;

// A GIF or bitmap whose stated size is beyond maxPicturePixels.
bool IsOversized(std::span<const uint8_t> b) {
    uint64_t w = 0, h = 0;
    if (b.size() >= 10 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F') {
        w = static_cast<uint64_t>(b[6] | b[7] << 8);
        h = static_cast<uint64_t>(b[8] | b[9] << 8);
    } else if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M' && Le32(b, 14) >= 40) {
        w = static_cast<uint64_t>(std::llabs(static_cast<int32_t>(Le32(b, 18))));
        h = static_cast<uint64_t>(std::llabs(static_cast<int32_t>(Le32(b, 22))));
    }
    return w * h > maxPicturePixels;
}

} // namespace

OLE_HANDLE Picture::Handle() const {
    OLE_HANDLE h = 0;
    if (picture_) picture_->get_Handle(&h);
    return h;
}

int16_t Picture::Type() const {
    SHORT type = 0;
    if (picture_) picture_->get_Type(&type);
    return type;
}

int32_t Picture::Width() const {
    OLE_XSIZE_HIMETRIC w = 0;
    if (picture_) picture_->get_Width(&w);
    return w;
}

int32_t Picture::Height() const {
    OLE_YSIZE_HIMETRIC h = 0;
    if (picture_) picture_->get_Height(&h);
    return h;
}

int32_t Picture::PixelWidth() const {
    return HimetricToPixels(Width(), Screen::LogPixelsX());
}
int32_t Picture::PixelHeight() const {
    return HimetricToPixels(Height(), Screen::LogPixelsY());
}

bool Picture::Render(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy) const {
    if (!picture_ || !dc || cx <= 0 || cy <= 0) return false;
    int32_t w = Width(), h = Height();
    // Picture objects measure upwards: the source starts at the bottom edge.
    return SUCCEEDED(picture_->Render(dc, x, y, cx, cy, 0, h, w, -h, nullptr));
}

std::optional<Picture> LoadPictureFromBytes(std::span<const uint8_t> bytes) {
    if (IsTruncatedBitmap(bytes) || IsOversized(bytes)) return std::nullopt;
    if (auto picture = modParsers::PictureFromBytes(bytes, 0, bytes.size()))
        return Picture(std::move(picture));
    return std::nullopt;
}

std::optional<Picture> LoadPicture(std::string_view path) {
    if (path.empty()) return Picture();
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return std::nullopt;
    if (auto picture = LoadPictureFromBytes(bytes)) return picture;
    if (IsCursorFile(bytes)) {
        // Not every picture loader reads cursor files; the cursor loader does.
        std::wstring wide = win::Widen(path);
        HANDLE cursor = LoadImageW(nullptr, wide.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE);
        if (cursor) {
            auto picture = modParsers::PictureFromHandle(cursor, modParsers::pictureIcon);
            if (picture) return Picture(std::move(picture));
            DestroyCursor(static_cast<HCURSOR>(cursor));
        }
    }
    return std::nullopt;
}

} // namespace moirelle::forms

namespace moirelle::forms {

std::optional<Picture> LoadResPicture(int id, int16_t kind) {
    UINT type = kind == vbResBitmap ? IMAGE_BITMAP : kind == vbResIcon ? IMAGE_ICON : IMAGE_CURSOR;
    if (kind < vbResBitmap || kind > vbResCursor) return std::nullopt;
    UINT flags = kind == vbResBitmap ? LR_CREATEDIBSECTION : LR_DEFAULTSIZE;
    HANDLE h = LoadImageW(App::hInstance(), MAKEINTRESOURCEW(id), type, 0, 0, flags);
    if (!h) return std::nullopt;
    auto picture = modParsers::PictureFromHandle(h, kind == vbResBitmap ? modParsers::pictureBitmap
                                                                        : modParsers::pictureIcon);
    if (picture) return Picture(std::move(picture));
    if (kind == vbResBitmap)
        DeleteObject(h);
    else
        DestroyIcon(static_cast<HICON>(h));
    return std::nullopt;
}

std::vector<uint8_t> LoadResData(int id, std::string_view type) {
    std::wstring wideType = win::Widen(type);
    HMODULE module = App::hInstance();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), wideType.c_str());
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    DWORD size = SizeofResource(module, found);
    const void* p = loaded ? LockResource(loaded) : nullptr;
    if (!p || size == 0) return {};
    std::vector<uint8_t> bytes(size);
    std::memcpy(bytes.data(), p, size);
    return bytes;
}

} // namespace moirelle::forms
