#pragma once
// Skin pictures from files: the base picture of any picture file the plain picture loader
// or the image library reads (a PNG is drawn opaque over black), and the small thumbnails
// of the gallery.

#include "app/ThumbnailCache.h"
#include "forms/Picture.h"

#include <optional>
#include <string>

namespace moirelle::app {

// The thumbnails' size: a strip in the proportions of a taskbar's skin.
inline constexpr int32_t kThumbnailWidth = 64;
inline constexpr int32_t kThumbnailHeight = 40;

// A base picture from a file (UTF-8 path); nothing when it is no readable picture. An
// empty path gives nothing (the caller keeps its own picture).
std::optional<forms::Picture> LoadBasePicture(const std::string& path);

// The thumbnail of a skin picture file: a texture (a PNG with alpha) drawn over the strip's
// dark grey, any other picture stretched over the whole thumbnail.
std::optional<Thumbnail> MakeSkinThumbnail(const std::string& path);

} // namespace moirelle::app
