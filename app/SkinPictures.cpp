#include "app/SkinPictures.h"

#include "app/SkinDropTarget.h"
#include "app/SkinSource.h"
#include "dib/win/c32bppDIB.h"
#include "formats/win/modParsersWin.h"
#include "forms/DibSection.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

namespace moirelle::app {
namespace {

constexpr uint32_t kThumbnailBack = 0x222222;

// A top-down 32-bit DIB section selected into a memory DC, filled with a colour.
class Canvas {
  public:
    Canvas(int32_t w, int32_t h, uint32_t rgb) : w_(w), h_(h) {
        uint32_t* bits = nullptr;
        bitmap_ = forms::CreateDibSection32(w, h, &bits);
        dc_.reset(CreateCompatibleDC(nullptr));
        if (!bitmap_ || !dc_) return;
        bits_ = bits;
        old_ = SelectObject(dc_.get(), bitmap_.get());
        std::fill(bits_, bits_ + static_cast<size_t>(w) * h, rgb);
    }
    ~Canvas() {
        if (old_) SelectObject(dc_.get(), old_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ready() const { return bits_ != nullptr; }
    HDC dc() const { return dc_.get(); }
    // The pixels as 0x00RRGGBB, rows top-down.
    std::vector<uint32_t> Pixels() const {
        GdiFlush();
        std::vector<uint32_t> out(bits_, bits_ + static_cast<size_t>(w_) * h_);
        for (uint32_t& p : out)
            p &= 0xFFFFFF;
        return out;
    }
    // Hands the bitmap over (deselected).
    HBITMAP Release() {
        if (old_) SelectObject(dc_.get(), old_);
        old_ = nullptr;
        return bitmap_.release();
    }

  private:
    int32_t w_, h_;
    win::UniqueBitmap bitmap_;
    win::UniqueMemoryDC dc_;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

bool LoadImageFile(c32bppDIB& dib, const std::string& path) {
    return dib.LoadPicture_File(win::Widen(path)) && dib.Width() > 0 && dib.Height() > 0;
}

} // namespace

std::optional<forms::Picture> OpaquePictureOf(const std::string& path) {
    c32bppDIB dib;
    if (!LoadImageFile(dib, path)) return std::nullopt;
    Canvas canvas(dib.Width(), dib.Height(), 0);
    if (!canvas.Ready() || !dib.Render(canvas.dc())) return std::nullopt;
    HBITMAP bitmap = canvas.Release();
    auto picture = modParsers::PictureFromHandle(bitmap, modParsers::pictureBitmap);
    if (!picture) {
        DeleteObject(bitmap);
        return std::nullopt;
    }
    return forms::Picture(std::move(picture));
}

std::optional<Thumbnail> MakeSkinThumbnail(const std::string& path) {
    const SkinLayer layer = SkinLayerOfFile(path);
    if (layer == SkinLayer::None) return std::nullopt;
    Canvas canvas(kThumbnailWidth, kThumbnailHeight, kThumbnailBack);
    if (!canvas.Ready()) return std::nullopt;
    if (layer == SkinLayer::Texture) {
        c32bppDIB dib;
        if (!LoadImageFile(dib, path) ||
            !dib.Render(canvas.dc(), 0, 0, kThumbnailWidth, kThumbnailHeight))
            return std::nullopt;
    } else {
        auto picture = LoadBaseSource(path);
        if (!picture || !picture->Render(canvas.dc(), 0, 0, kThumbnailWidth, kThumbnailHeight))
            return std::nullopt;
    }
    return Thumbnail{kThumbnailWidth, kThumbnailHeight, canvas.Pixels()};
}

} // namespace moirelle::app
