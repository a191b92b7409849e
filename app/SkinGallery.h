#pragma once
// The gallery: a strip of skin thumbnails on the options window, the built-in skins in its
// upper row and the pictures used last in its lower one (newest first). Pointing at a
// thumbnail raises Pointed with its picture's path; moving off the thumbnails without a
// click raises Unpointed; a click raises Chosen. The kept skin's thumbnails are framed.
// A windowless control: its container lays it out with the window's resolution.

#include "app/ThumbnailCache.h"
#include "forms/Control.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace moirelle::app {

// Thumbnails per row; the strip has two rows.
inline constexpr int kGalleryColumns = 8;
inline constexpr int kGalleryRows = 2;

struct GallerySlot {
    int row = 0;
    int column = 0;
    friend bool operator==(const GallerySlot&, const GallerySlot&) = default;
};

// The picture area of a slot in a strip of `width` x `height` pixels: the strip is cut into
// equal cells (the remainder of the division stays at the right and bottom edges) and each
// cell keeps a border of kGalleryBorder pixels around its picture for the frames.
inline constexpr int kGalleryBorder = 2;
RECT GallerySlotRect(int width, int height, GallerySlot slot);
// The slot whose picture area holds the point, or nothing (borders and the edges' rest).
std::optional<GallerySlot> GallerySlotAt(int width, int height, int x, int y);

struct GalleryItem {
    std::string path;
    Thumbnail thumbnail;
};

class SkinGallery : public forms::Control {
  public:
    using Control::Control;
    std::string_view TypeName() const override { return "SkinGallery"; }

    // The thumbnails of the two rows (each cut to kGalleryColumns).
    void Items(std::vector<GalleryItem> builtIn, std::vector<GalleryItem> recent);
    // The paths of the kept skin's layers, whose thumbnails are framed.
    void Kept(std::vector<std::string> paths);
    // The item in a slot; null for an empty one.
    const GalleryItem* ItemAt(GallerySlot slot) const;

    std::function<void(const std::string&)> Pointed;
    std::function<void()> Unpointed;
    std::function<void(const std::string&)> Chosen;

    void Paint(HDC dc) override;
    void MouseInput(forms::MouseAction action, int16_t button, int16_t shift, float x,
                    float y) override;
    void PointerLeft(float x, float y) override;

  private:
    const GalleryItem* ItemUnder(float x, float y) const;
    void PointAt(const GalleryItem* item);
    // Finds the thumbnails of the kept skin and paints anew.
    void FindKept();

    std::vector<GalleryItem> rows_[kGalleryRows];
    std::vector<std::string> kept_;
    // The paths of the thumbnails framed as kept.
    std::vector<std::string> framed_;
    // The path being previewed; empty while none is.
    std::string pointed_;
};

} // namespace moirelle::app
