#include "tools/shelldriver/FileDrag.h"

#include "tools/shelldriver/ShellDesktop.h"

#include <ole2.h>
#include <shlobj.h>

#include <thread>

namespace moirelle::shelldriver {
FilesData::FilesData(const std::vector<std::wstring>& files) {
    size_t chars = 1;
    for (const auto& f : files)
        chars += f.size() + 1;
    block_.resize(sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = reinterpret_cast<DROPFILES*>(block_.data());
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(block_.data() + sizeof(DROPFILES));
    for (const auto& f : files) {
        std::copy(f.begin(), f.end(), out);
        out += f.size() + 1;
    }
}

HRESULT FilesData::QueryInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
        *out = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FilesData::GetData(FORMATETC* f, STGMEDIUM* m) {
    if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, block_.size());
    if (!g) return E_OUTOFMEMORY;
    std::copy(block_.begin(), block_.end(), static_cast<uint8_t*>(GlobalLock(g)));
    GlobalUnlock(g);
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = g;
    m->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT FilesData::QueryGetData(FORMATETC* f) {
    return f && f->cfFormat == CF_HDROP && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
}

HRESULT FilesData::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT FilesData::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC f{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return SHCreateStdEnumFmtEtc(1, &f, out);
}

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// Drops when the left button is up; records the effects offered.
class Source final : public IDropSource {
  public:
    explicit Source(std::vector<DWORD>& feedback) : feedback_(feedback) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
            *out = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape) return DRAGDROP_S_CANCEL;
        return keys & MK_LBUTTON ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
        feedback_.push_back(effect);
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

  private:
    ULONG refs_ = 1;
    std::vector<DWORD>& feedback_;
};

#pragma GCC diagnostic pop

} // namespace

DragOutcome DragFiles(const std::vector<std::wstring>& files, POINT from, POINT to) {
    DragOutcome outcome;
    if (FAILED(OleInitialize(nullptr))) return outcome;
    {
        FilesData data(files);
        Source source(outcome.feedback);
        INPUT press = MouseAt(from, MOUSEEVENTF_LEFTDOWN);
        SendInput(1, &press, sizeof(INPUT));
        Pump(100);
        // The pointer travels while DoDragDrop runs its own loop on this thread.
        std::thread hand([from, to] {
            Sleep(300);
            for (int i = 1; i <= 10; ++i) {
                POINT p{from.x + (to.x - from.x) * i / 10, from.y + (to.y - from.y) * i / 10};
                INPUT move = MouseAt(p, 0);
                SendInput(1, &move, sizeof(INPUT));
                Sleep(60);
            }
            Sleep(300);
            INPUT release = MouseAt(to, MOUSEEVENTF_LEFTUP);
            SendInput(1, &release, sizeof(INPUT));
        });
        outcome.result = DoDragDrop(&data, &source, DROPEFFECT_COPY, &outcome.effect);
        hand.join();
    }
    OleUninitialize();
    return outcome;
}

} // namespace moirelle::shelldriver
