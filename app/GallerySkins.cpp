#include "app/GallerySkins.h"

#include "app/AppResources.h"
#include "app/SamePath.h"
#include "app/SkinPictures.h"
#include "forms/App.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace moirelle::app {
namespace {

constexpr const char* kSkinFolder = "skins";
constexpr const char* kThumbnailFolder = "thumbnails";

std::string Joined(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

// A bitmap resource as the bytes of a bitmap file: the file header, then the resource's
// header, colour table and pixels as they are.
std::vector<uint8_t> BitmapFileOfResource(int id) {
    HMODULE module = forms::App::hInstance();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    const auto* data = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!data || size < sizeof(BITMAPINFOHEADER)) return {};
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof(header));
    DWORD colours = header.biClrUsed;
    if (!colours && header.biBitCount <= 8) colours = 1u << header.biBitCount;
    DWORD masks = header.biCompression == BI_BITFIELDS ? 12 : 0;
    const DWORD offset = 14 + header.biSize + masks + colours * 4;
    const DWORD total = 14 + size;
    // "BM", the file's size, four reserved bytes, the pixels' offset.
    std::vector<uint8_t> file{'B', 'M'};
    for (DWORD v : {total, DWORD{0}, offset})
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<uint8_t>(v >> (8 * i)));
    file.insert(file.end(), data, data + size);
    return file;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    win::UniqueFile f(CreateFileW(win::Widen(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return f &&
           WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

} // namespace

const std::vector<BuiltInSkin>& BuiltInSkins() {
    static const std::vector<BuiltInSkin> skins{
        {IDB_DEFAULT_SKIN, "default"}, {IDB_SKIN_EMBER, "ember"}, {IDB_SKIN_AURORA, "aurora"},
        {IDB_SKIN_SLATE, "slate"},     {IDB_SKIN_DUSK, "dusk"},   {IDB_SKIN_MOSS, "moss"},
        {IDB_SKIN_SAND, "sand"},
    };
    return skins;
}

Skin SkinWithPicture(const Skin& kept, const std::string& path, SkinLayer layer) {
    Skin skin = kept;
    if (layer == SkinLayer::Texture)
        skin.texture = path;
    else if (layer == SkinLayer::Base)
        skin.base = path;
    return skin;
}

GallerySkins::GallerySkins(SkinGallery& gallery, TaskbarSkins& skins,
                           std::function<std::string()> editedKey, Settings& settings,
                           std::function<void()> saveSettings, const std::string& folder)
    : gallery_(gallery), skins_(skins), editedKey_(std::move(editedKey)),
      skinFolder_(Joined(folder, kSkinFolder)), cache_(Joined(folder, kThumbnailFolder)),
      settings_(settings), saveSettings_(std::move(saveSettings)) {
    gallery_.Pointed = [this](const std::string& path) { Pointed(path); };
    gallery_.Unpointed = [this] { Unpointed(); };
    // The preview ends once the picture is kept (or is not): every taskbar then shows its
    // kept skin, and later changes of it show.
    gallery_.Chosen = [this](const std::string& path) {
        KeepPicture(editedKey_(), path);
        skins_.EndPreview();
    };
}

void GallerySkins::Load() {
    CreateDirectoryW(win::Widen(skinFolder_).c_str(), nullptr);
    builtInFiles_.clear();
    for (const BuiltInSkin& skin : BuiltInSkins()) {
        const std::string path = Joined(skinFolder_, std::string(skin.name) + ".bmp");
        std::vector<uint8_t> bytes = BitmapFileOfResource(skin.resource);
        if (bytes.empty()) continue;
        auto stamp = StampOf(path);
        if ((!stamp || stamp->size != bytes.size()) && !WriteFileBytes(path, bytes)) continue;
        builtInFiles_.push_back(path);
    }
    Fill();
}

std::vector<GalleryItem> GallerySkins::ItemsOf(const std::vector<std::string>& paths) {
    std::vector<GalleryItem> items;
    for (const std::string& path : paths)
        if (auto thumbnail = cache_.Get(path, MakeSkinThumbnail))
            items.push_back({path, std::move(*thumbnail)});
    return items;
}

void GallerySkins::Fill() {
    // Pictures that are gone drop out; the built-in skins have their own row.
    std::vector<std::string> recent;
    for (const std::string& path : settings_.recentPictures)
        if (StampOf(path) && !IsBuiltIn(path)) recent.push_back(path);
    std::vector<GalleryItem> builtIn = ItemsOf(builtInFiles_), used = ItemsOf(recent);
    std::vector<std::string> shown;
    for (const auto* row : {&builtIn, &used})
        for (const GalleryItem& item : *row)
            shown.push_back(item.path);
    cache_.KeepOnly(shown);
    gallery_.Items(std::move(builtIn), std::move(used));
    // An empty base is the built-in default skin.
    const Skin kept = skins_.KeptSkin(editedKey_());
    gallery_.Kept({kept.base.empty() && !builtInFiles_.empty() ? builtInFiles_.front() : kept.base,
                   kept.texture});
}

bool GallerySkins::KeepPicture(const std::string& key, const std::string& path) {
    const SkinLayer layer = SkinLayerOfFile(path);
    if (layer == SkinLayer::None) return false;
    if (!skins_.KeepSkin(key, SkinWithPicture(skins_.KeptSkin(key), path, layer))) return false;
    Used(path);
    return true;
}

void GallerySkins::Used(const std::string& path) {
    if (!IsBuiltIn(path)) {
        settings_.UsePicture(path);
        saveSettings_();
    }
    Fill();
}

bool GallerySkins::IsBuiltIn(const std::string& path) const {
    return std::any_of(builtInFiles_.begin(), builtInFiles_.end(),
                       [&](const std::string& f) { return SamePath(f, path); });
}

void GallerySkins::Pointed(const std::string& path) {
    const std::string key = editedKey_();
    const SkinLayer layer = SkinLayerOfFile(path);
    if (layer == SkinLayer::None) return;
    // Each preview is the kept skin with one layer changed.
    skins_.PreviewSkin(key, SkinWithPicture(skins_.KeptSkin(key), path, layer));
}

void GallerySkins::Unpointed() {
    skins_.EndPreview();
}

} // namespace moirelle::app
