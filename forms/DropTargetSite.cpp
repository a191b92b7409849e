#include "forms/DropTargetSite.h"

#include "forms/Container.h"

namespace moirelle::forms {

win::ComPtr<IDropTarget> DropTargetSite::Create(Container& container) {
    return win::ComPtr<IDropTarget>::Attach(new DropTargetSite(container));
}

void DropTargetSite::Detach(IDropTarget* target) {
    if (target) static_cast<DropTargetSite*>(target)->container_ = nullptr;
}

HRESULT DropTargetSite::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *out = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG DropTargetSite::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG DropTargetSite::Release() {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT DropTargetSite::DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    if (!container_) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    container_->Drag(Container::DragStep::Enter, data, keys, pt, effect);
    return S_OK;
}

HRESULT DropTargetSite::DragOver(DWORD keys, POINTL pt, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    if (!container_) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    container_->Drag(Container::DragStep::Over, nullptr, keys, pt, effect);
    return S_OK;
}

HRESULT DropTargetSite::DragLeave() {
    if (container_) container_->Drag(Container::DragStep::Leave, nullptr, 0, {}, nullptr);
    return S_OK;
}

HRESULT DropTargetSite::Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    if (!container_) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    container_->Drag(Container::DragStep::Drop, data, keys, pt, effect);
    return S_OK;
}

} // namespace moirelle::forms
