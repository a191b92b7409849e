#pragma once
// A picture without alpha (bitmap, GIF, JPEG, icon, cursor or metafile) held by the
// system's OLE picture object, and the plain picture loader.

#include "platform/win/ComPtr.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace moirelle::forms {

class Picture {
  public:
    Picture() = default;
    explicit Picture(win::ComPtr<IPicture> picture) : picture_(std::move(picture)) {}

    bool Empty() const { return !picture_; }
    IPicture* Get() const { return picture_.Get(); }
    // The GDI handle (bitmap, icon or metafile); 0 when empty.
    OLE_HANDLE Handle() const;
    // PICTYPE_* of the picture; 0 when empty.
    int16_t Type() const;
    // Size in HIMETRIC (0.01 mm) and in pixels of the screen.
    int32_t Width() const;
    int32_t Height() const;
    int32_t PixelWidth() const;
    int32_t PixelHeight() const;

    // Draws the whole picture into (x, y, cx, cy) of the device context.
    bool Render(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy) const;

    friend bool operator==(const Picture& a, const Picture& b) { return a.Get() == b.Get(); }

  private:
    win::ComPtr<IPicture> picture_;
};

// Loads a picture file. An empty path gives an empty picture; a missing or unreadable
// file, or one that is no picture, gives nothing.
std::optional<Picture> LoadPicture(std::string_view path);
// The same from bytes in memory.
std::optional<Picture> LoadPictureFromBytes(std::span<const uint8_t> bytes);

inline constexpr int16_t vbResBitmap = 0;
inline constexpr int16_t vbResIcon = 1;
inline constexpr int16_t vbResCursor = 2;

// A bitmap, icon or cursor from the program's resources; nothing when there is none.
std::optional<Picture> LoadResPicture(int id, int16_t kind);
// The bytes of a resource of a custom type (e.g. "GIF"); empty when there is none.
std::vector<uint8_t> LoadResData(int id, std::string_view type);

} // namespace moirelle::forms
