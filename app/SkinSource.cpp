#include "app/SkinSource.h"

#include "app/SkinPictures.h"
#include "dib/win/c32bppDIB.h"
#include "platform/win/Text.h"

namespace moirelle::app {

std::optional<forms::Picture> LoadBaseSource(std::string_view path) {
    if (path.empty()) return std::nullopt;
    if (auto picture = forms::LoadPicture(path)) return picture;
    return OpaquePictureOf(std::string(path));
}

bool IsLoadableTexture(std::string_view path) {
    if (path.empty()) return false;
    c32bppDIB probe;
    return probe.LoadPicture_File(win::Widen(path));
}

} // namespace moirelle::app
