#include "forms/DataObject.h"

#include <shellapi.h>

#include <cstring>

namespace moirelle::forms {
namespace {

FORMATETC GlobalFormat(int32_t clipboardFormat) {
    FORMATETC f{};
    f.cfFormat = static_cast<CLIPFORMAT>(clipboardFormat);
    f.dwAspect = DVASPECT_CONTENT;
    f.lindex = -1;
    f.tymed = TYMED_HGLOBAL;
    return f;
}

} // namespace

std::vector<std::wstring> FilesOfDrop(HGLOBAL drop) {
    std::vector<std::wstring> files;
    if (!drop) return files;
    HDROP h = static_cast<HDROP>(drop);
    UINT count = DragQueryFileW(h, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(h, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        UINT got = DragQueryFileW(h, i, name.data(), length + 1);
        name.resize(got);
        files.push_back(std::move(name));
    }
    return files;
}

DataObject::DataObject(win::ComPtr<IDataObject> dataObject) {
    data = std::move(dataObject);
    if (!data) return;
    FORMATETC f = GlobalFormat(vbCFFiles);
    STGMEDIUM medium{};
    if (SUCCEEDED(data->GetData(&f, &medium))) {
        if (medium.tymed == TYMED_HGLOBAL) Files() = FilesOfDrop(medium.hGlobal);
        ReleaseStgMedium(&medium);
    }
}

bool DataObject::GetFormat(int32_t clipboardFormat) const {
    if (!data) return false;
    FORMATETC f = GlobalFormat(clipboardFormat);
    return data->QueryGetData(&f) == S_OK;
}

std::vector<uint8_t> DataObject::GetData(int32_t clipboardFormat) const {
    std::vector<uint8_t> bytes;
    if (!data) return bytes;
    FORMATETC f = GlobalFormat(clipboardFormat);
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&f, &medium))) return bytes;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        SIZE_T size = GlobalSize(medium.hGlobal);
        if (const void* p = GlobalLock(medium.hGlobal)) {
            bytes.resize(size);
            if (size) std::memcpy(bytes.data(), p, size);
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    return bytes;
}

} // namespace moirelle::forms
