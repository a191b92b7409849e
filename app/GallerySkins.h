#pragma once
// What the gallery shows and does. Its upper row holds the built-in skins, written once as
// bitmap files into a folder beside the executable (so that the skin files can name them
// like any picture); its lower row the pictures used last that are still there. Pointing
// at a thumbnail previews its picture on the taskbar being edited, in the layer it belongs
// to (a PNG with alpha is a texture, any other picture a base picture); moving off puts the
// kept skin back; a click keeps it and puts it first among the pictures used. Thumbnails
// come from a cache beside the executable.

#include "app/Settings.h"
#include "app/SkinDropTarget.h"
#include "app/SkinGallery.h"
#include "app/TaskbarSkins.h"
#include "app/ThumbnailCache.h"

#include <functional>
#include <string>
#include <vector>

namespace moirelle::app {

struct BuiltInSkin {
    int resource;
    const char* name;
};
// The built-in skins in the gallery's order, the default skin first.
const std::vector<BuiltInSkin>& BuiltInSkins();

// The skin with the picture in its layer, the kept one's other layer unchanged.
Skin SkinWithPicture(const Skin& kept, const std::string& path, SkinLayer layer);

class GallerySkins {
  public:
    // `folder` is the executable's folder (UTF-8); `editedKey` names the taskbar the options
    // window edits; the pictures used last live in `settings`, written by `saveSettings`.
    GallerySkins(SkinGallery& gallery, TaskbarSkins& skins, std::function<std::string()> editedKey,
                 Settings& settings, std::function<void()> saveSettings, const std::string& folder);

    // Writes the built-in skins that are missing and fills the strip.
    void Load();
    // Keeps a picture on the taskbar `key` in the layer it belongs to, and puts it first
    // among the pictures used; false when it is no picture or does not load.
    bool KeepPicture(const std::string& key, const std::string& path);
    // A picture was kept another way (the open-file dialog): first among those used.
    void Used(const std::string& path);
    // Fills the strip anew: the pictures used that are still there, the edited taskbar's
    // kept skin framed.
    void Fill();
    // The built-in skins' files.
    const std::vector<std::string>& BuiltInFiles() const { return builtInFiles_; }

  private:
    bool IsBuiltIn(const std::string& path) const;
    std::vector<GalleryItem> ItemsOf(const std::vector<std::string>& paths);
    void Pointed(const std::string& path);
    void Unpointed();

    SkinGallery& gallery_;
    TaskbarSkins& skins_;
    std::function<std::string()> editedKey_;
    std::string skinFolder_;
    ThumbnailCache cache_;
    Settings& settings_;
    std::function<void()> saveSettings_;
    std::vector<std::string> builtInFiles_;
};

} // namespace moirelle::app
