#pragma once
// The one place that turns a skin's file names into what the windows show: the base
// picture through the plain picture loader (or, for a picture only the image library reads,
// such as a PNG, drawn opaque over black), the texture through the image library.

#include "forms/Picture.h"

#include <optional>
#include <string_view>

namespace moirelle::app {

// The base picture a file holds; nothing when it is no picture (or the path is empty).
std::optional<forms::Picture> LoadBaseSource(std::string_view path);
// Whether the image library reads the texture file: a texture that cannot be loaded must
// not take the place of the current one.
bool IsLoadableTexture(std::string_view path);

} // namespace moirelle::app
