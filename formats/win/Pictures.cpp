#include "formats/win/modParsersWin.h"

#include <cstring>

namespace moirelle::modParsers {

win::ComPtr<IPicture> PictureFromBytes(std::span<const uint8_t> bytes, size_t offset,
                                       size_t length) {
    if (length == 0 || offset > bytes.size() || length > bytes.size() - offset ||
        length > 0x7fffffff)
        return {};
    win::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, length));
    if (!block) return {};
    void* p = GlobalLock(block.get());
    if (!p) return {};
    std::memcpy(p, bytes.data() + offset, length);
    GlobalUnlock(block.get());

    win::ComPtr<IStream> stream;
    // The stream frees the block when it is released.
    if (FAILED(CreateStreamOnHGlobal(block.get(), TRUE, stream.ReleaseAndGetAddressOf())))
        return {};
    block.release();

    win::ComPtr<IPicture> picture;
    if (FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(length), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(picture.ReleaseAndGetAddressOf()))))
        return {};
    return picture;
}

win::ComPtr<IPicture> PictureFromHandle(HANDLE handle, int32_t type, int32_t xExtHimetric,
                                        int32_t yExtHimetric) {
    if (!handle) return {};
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = static_cast<UINT>(type);
    switch (type) {
    case pictureBitmap:
        desc.bmp.hbitmap = static_cast<HBITMAP>(handle);
        break;
    case pictureMetafile:
        desc.wmf.hmeta = static_cast<HMETAFILE>(handle);
        desc.wmf.xExt = xExtHimetric;
        desc.wmf.yExt = yExtHimetric;
        break;
    case pictureIcon:
        desc.icon.hicon = static_cast<HICON>(handle);
        break;
    case pictureEnhMetafile:
        desc.emf.hemf = static_cast<HENHMETAFILE>(handle);
        break;
    default:
        return {};
    }
    win::ComPtr<IPicture> picture;
    if (FAILED(OleCreatePictureIndirect(
            &desc, IID_IPicture, TRUE, reinterpret_cast<void**>(picture.ReleaseAndGetAddressOf()))))
        return {};
    return picture;
}

} // namespace moirelle::modParsers
