#pragma once
// Skin pictures from files that the plain picture loader does not read (a PNG as a base
// picture, drawn opaque over black), and the small thumbnails of the gallery.

#include "app/ThumbnailCache.h"
#include "forms/Picture.h"

#include <optional>
#include <string>

namespace moirelle::app {

// The thumbnails' size: a strip in the proportions of a taskbar's skin.
inline constexpr int32_t kThumbnailWidth = 64;
inline constexpr int32_t kThumbnailHeight = 40;

// The picture the image library reads from a file (UTF-8 path), drawn opaque over black;
// nothing when it reads none.
std::optional<forms::Picture> OpaquePictureOf(const std::string& path);

// The thumbnail of a skin picture file: a texture (a PNG with alpha) drawn over the strip's
// dark grey, any other picture stretched over the whole thumbnail.
std::optional<Thumbnail> MakeSkinThumbnail(const std::string& path);

} // namespace moirelle::app
