#include "app/SkinGallery.h"

#include "app/SamePath.h"

#include <algorithm>

namespace moirelle::app {
namespace {

constexpr COLORREF kStripBack = RGB(20, 20, 20);
constexpr COLORREF kEmptySlot = RGB(34, 34, 34);
constexpr COLORREF kKeptFrame = RGB(240, 244, 250);
constexpr COLORREF kPointedFrame = RGB(64, 156, 255);

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void Frame(HDC dc, RECT r, COLORREF colour) {
    InflateRect(&r, kGalleryBorder, kGalleryBorder);
    const int b = kGalleryBorder;
    Fill(dc, {r.left, r.top, r.right, r.top + b}, colour);
    Fill(dc, {r.left, r.bottom - b, r.right, r.bottom}, colour);
    Fill(dc, {r.left, r.top, r.left + b, r.bottom}, colour);
    Fill(dc, {r.right - b, r.top, r.right, r.bottom}, colour);
}

void DrawThumbnail(HDC dc, const RECT& r, const Thumbnail& t) {
    if (t.pixels.empty()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = t.width;
    info.bmiHeader.biHeight = -t.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    int oldMode = SetStretchBltMode(dc, HALFTONE);
    POINT origin{};
    SetBrushOrgEx(dc, 0, 0, &origin);
    StretchDIBits(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, t.width, t.height,
                  t.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
}

} // namespace

RECT GallerySlotRect(int width, int height, GallerySlot slot) {
    const int cellW = width / kGalleryColumns, cellH = height / kGalleryRows;
    RECT r{slot.column * cellW, slot.row * cellH, (slot.column + 1) * cellW,
           (slot.row + 1) * cellH};
    InflateRect(&r, -kGalleryBorder, -kGalleryBorder);
    return r;
}

std::optional<GallerySlot> GallerySlotAt(int width, int height, int x, int y) {
    const int cellW = width / kGalleryColumns, cellH = height / kGalleryRows;
    if (cellW <= 0 || cellH <= 0 || x < 0 || y < 0) return std::nullopt;
    GallerySlot slot{y / cellH, x / cellW};
    if (slot.row >= kGalleryRows || slot.column >= kGalleryColumns) return std::nullopt;
    RECT r = GallerySlotRect(width, height, slot);
    if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) return std::nullopt;
    return slot;
}

void SkinGallery::Items(std::vector<GalleryItem> builtIn, std::vector<GalleryItem> recent) {
    if (builtIn.size() > kGalleryColumns) builtIn.resize(kGalleryColumns);
    if (recent.size() > kGalleryColumns) recent.resize(kGalleryColumns);
    rows_[0] = std::move(builtIn);
    rows_[1] = std::move(recent);
    FindKept();
}

void SkinGallery::Kept(std::vector<std::string> paths) {
    kept_ = std::move(paths);
    FindKept();
}

// The kept skin's paths may name its files in other spellings than the thumbnails do.
void SkinGallery::FindKept() {
    framed_.clear();
    for (const auto& row : rows_)
        for (const GalleryItem& item : row)
            if (std::any_of(kept_.begin(), kept_.end(),
                            [&](const std::string& p) { return SamePath(p, item.path); }))
                framed_.push_back(item.path);
    Refresh();
}

const GalleryItem* SkinGallery::ItemAt(GallerySlot slot) const {
    if (slot.row < 0 || slot.row >= kGalleryRows || slot.column < 0) return nullptr;
    const auto& row = rows_[slot.row];
    return static_cast<size_t>(slot.column) < row.size() ? &row[slot.column] : nullptr;
}

void SkinGallery::Paint(HDC dc) {
    const RECT area = PixelRect();
    const int w = area.right - area.left, h = area.bottom - area.top;
    Fill(dc, {0, 0, w, h}, kStripBack);
    for (int row = 0; row < kGalleryRows; ++row)
        for (int column = 0; column < kGalleryColumns; ++column) {
            const GallerySlot slot{row, column};
            const RECT r = GallerySlotRect(w, h, slot);
            const GalleryItem* item = ItemAt(slot);
            if (!item) {
                Fill(dc, r, kEmptySlot);
                continue;
            }
            DrawThumbnail(dc, r, item->thumbnail);
            if (item->path == pointed_)
                Frame(dc, r, kPointedFrame);
            else if (std::find(framed_.begin(), framed_.end(), item->path) != framed_.end())
                Frame(dc, r, kKeptFrame);
        }
}

const GalleryItem* SkinGallery::ItemUnder(float x, float y) const {
    const RECT area = PixelRect();
    auto slot = GallerySlotAt(area.right - area.left, area.bottom - area.top, static_cast<int>(x),
                              static_cast<int>(y));
    return slot ? ItemAt(*slot) : nullptr;
}

void SkinGallery::PointAt(const GalleryItem* item) {
    const std::string path = item ? item->path : std::string();
    if (path == pointed_) return;
    pointed_ = path;
    Refresh();
    if (item) {
        if (Pointed) Pointed(path);
    } else if (Unpointed) {
        Unpointed();
    }
}

void SkinGallery::MouseInput(forms::MouseAction action, int16_t button, int16_t /*shift*/, float x,
                             float y) {
    const GalleryItem* item = ItemUnder(x, y);
    if (action == forms::MouseAction::Move) {
        PointAt(item);
    } else if (action == forms::MouseAction::Click && button == 1 && item) {
        // The previewed skin is kept: nothing is put back afterwards.
        pointed_.clear();
        if (Chosen) Chosen(std::string(item->path));
        Refresh();
    }
}

void SkinGallery::PointerLeft(float /*x*/, float /*y*/) {
    PointAt(nullptr);
}

} // namespace moirelle::app
