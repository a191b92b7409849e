#pragma once
// Test doubles for file drops: a dropped-files memory block and a data object offering
// one list of files in it.

#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace moirelle::test {

// A CF_HDROP block listing the names, as wide or narrow (code page) text.
inline HGLOBAL MakeDropBlock(const std::vector<std::wstring>& names, bool wide) {
    size_t chars = 1;
    for (const auto& n : names)
        chars += n.size() + 1;
    const size_t bytes = sizeof(DROPFILES) + chars * (wide ? 2 : 1);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* p = static_cast<uint8_t*>(GlobalLock(h));
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = wide;
    std::memcpy(p, &header, sizeof(header));
    size_t at = sizeof(DROPFILES);
    for (const auto& n : names)
        for (size_t i = 0; i <= n.size(); ++i) {
            const wchar_t c = i < n.size() ? n[i] : 0;
            if (wide) {
                std::memcpy(p + at, &c, 2);
                at += 2;
            } else {
                p[at++] = static_cast<uint8_t>(c);
            }
        }
    GlobalUnlock(h);
    return h;
}

// A data object that offers one list of files as CF_HDROP. Made with new and owned
// through its reference count (wrap it with ComPtr::Attach).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FileListDataObject final : public IDataObject {
  public:
    explicit FileListDataObject(std::vector<std::wstring> files) : files_(std::move(files)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* m) override {
        if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
        m->tymed = TYMED_HGLOBAL;
        m->hGlobal = MakeDropBlock(files_, true);
        m->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override {
        return f && f->cfFormat == CF_HDROP && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

  private:
    std::vector<std::wstring> files_;
    ULONG refs_ = 1;
};
#pragma GCC diagnostic pop

} // namespace moirelle::test
