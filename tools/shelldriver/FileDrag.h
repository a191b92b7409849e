#pragma once
// A real OLE drag of files from this process: the left button goes down at one screen
// point, DoDragDrop carries a dropped-files block (CF_HDROP) while another thread moves the
// pointer with real input to the target and lets the button go there.

#include <ole2.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace moirelle::shelldriver {

// A data object of one format: the files as a dropped-files block (CF_HDROP) in global
// memory. It lives where it is made (its reference count only counts).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FilesData final : public IDataObject {
  public:
    explicit FilesData(const std::vector<std::wstring>& files);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* m) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

  private:
    ULONG refs_ = 1;
    std::vector<uint8_t> block_;
};
#pragma GCC diagnostic pop

struct DragOutcome {
    HRESULT result = E_FAIL;
    // The effect DoDragDrop reports (DROPEFFECT_NONE when the target refused the drop).
    DWORD effect = DROPEFFECT_NONE;
    // The effects the target offered while the pointer was over it (the cursor shown).
    std::vector<DWORD> feedback;
};

DragOutcome DragFiles(const std::vector<std::wstring>& files, POINT from, POINT to);

} // namespace moirelle::shelldriver
