#include "app/Pictures.h"

namespace moirelle::app {

forms::Picture BuiltInBitmap(int id) {
    return forms::LoadResPicture(id, forms::vbResBitmap).value_or(forms::Picture());
}

forms::Picture BuiltInGif(int id) {
    std::vector<uint8_t> bytes = forms::LoadResData(id, "GIF");
    if (bytes.empty()) return {};
    return forms::LoadPictureFromBytes(bytes).value_or(forms::Picture());
}

} // namespace moirelle::app
