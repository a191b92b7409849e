// Bitmap file output and the names of dropped or pasted files.
#include "dib/BitmapFile.h"
#include "dib/win/c32bppDIB.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace moirelle {
namespace {

// Reads up to `wanted` zero-terminated wide names from a dropped-files block, never
// past the block's end; stops early at the empty name that ends the list.
std::vector<std::wstring> WideNames(const uint8_t* block, size_t blockSize, size_t wanted) {
    std::vector<std::wstring> names;
    DROPFILES header;
    if (blockSize < sizeof(header)) return names;
    std::memcpy(&header, block, sizeof(header));
    size_t pos = header.pFiles;
    while (names.size() < wanted && pos + sizeof(wchar_t) <= blockSize) {
        std::wstring name;
        wchar_t ch = 0;
        for (; pos + sizeof(wchar_t) <= blockSize; pos += sizeof(wchar_t)) {
            std::memcpy(&ch, block + pos, sizeof(ch));
            if (ch == 0) break;
            name.push_back(ch);
        }
        if (ch != 0 || name.empty()) break; // ran off the block, or the list's end
        pos += sizeof(wchar_t);
        names.push_back(std::move(name));
    }
    return names;
}

class GlobalLock_ {
  public:
    explicit GlobalLock_(HGLOBAL h) : h_(h), p_(static_cast<const uint8_t*>(GlobalLock(h))) {}
    ~GlobalLock_() {
        if (p_) GlobalUnlock(h_);
    }
    GlobalLock_(const GlobalLock_&) = delete;
    GlobalLock_& operator=(const GlobalLock_&) = delete;
    const uint8_t* get() const { return p_; }
    size_t size() const { return p_ ? GlobalSize(h_) : 0; }

  private:
    HGLOBAL h_;
    const uint8_t* p_;
};

bool IsWide(const GlobalLock_& lock) {
    DROPFILES header;
    if (!lock.get() || lock.size() < sizeof(header)) return false;
    std::memcpy(&header, lock.get(), sizeof(header));
    return header.fWide != FALSE;
}

} // namespace

bool c32bppDIB::SaveToStream(std::vector<uint8_t>& outStream) const {
    if (!dib_) return false;
    GdiFlush();
    return BitmapFileBytes(View(), alpha_, outStream);
}

bool c32bppDIB::GetDroppedFileNames(DragDropData* OLEDragDrop_DataObject) {
    if (!OLEDragDrop_DataObject || !OLEDragDrop_DataObject->data) return false;
    IDataObject* data = OLEDragDrop_DataObject->data.Get();
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (data->QueryGetData(&format) != S_OK) return false;
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return false;
    if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal) {
        ReleaseStgMedium(&medium);
        return false;
    }
    std::vector<std::wstring> names;
    bool wide = false;
    {
        const GlobalLock_ lock(medium.hGlobal);
        wide = IsWide(lock);
        if (wide) names = WideNames(lock.get(), lock.size(), OLEDragDrop_DataObject->Files.size());
    }
    ReleaseStgMedium(&medium);
    if (wide) OLEDragDrop_DataObject->Files = std::move(names);
    return true;
}

int32_t c32bppDIB::GetPastedFileNames(std::vector<std::wstring>& ListOfFiles) {
    if (!OpenClipboard(nullptr)) return 0;
    struct Closer {
        ~Closer() { CloseClipboard(); }
    } closer;
    HANDLE handle = GetClipboardData(CF_HDROP);
    if (!handle) return 0;
    HDROP drop = static_cast<HDROP>(handle);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    if (count == 0) return 0;
    std::vector<std::wstring> names(count);
    {
        const GlobalLock_ lock(static_cast<HGLOBAL>(handle));
        if (IsWide(lock)) {
            std::vector<std::wstring> read = WideNames(lock.get(), lock.size(), count);
            for (size_t i = 0; i < read.size(); ++i)
                names[i] = std::move(read[i]);
        } else {
            for (UINT i = 0; i < count; ++i) {
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                std::wstring name(length + 1, L'\0');
                const UINT got = DragQueryFileW(drop, i, name.data(), length + 1);
                name.resize(got);
                names[i] = std::move(name);
            }
        }
    }
    ListOfFiles = std::move(names);
    return static_cast<int32_t>(count);
}

} // namespace moirelle
