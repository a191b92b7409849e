#pragma once
// The OLE drop target of a container window: hands every drag step to the container.

#include "platform/win/ComPtr.h"

#include <ole2.h>

namespace moirelle::forms {

class Container;

// COM objects are destroyed by Release, never through a base pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class DropTargetSite final : public IDropTarget {
  public:
    static win::ComPtr<IDropTarget> Create(Container& container);
    // The container is going; later calls from the system do nothing.
    static void Detach(IDropTarget* target);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt,
                                   DWORD* effect) override;

  private:
    explicit DropTargetSite(Container& container) : container_(&container) {}
    ~DropTargetSite() = default;

    LONG refs_ = 1;
    Container* container_;
};
#pragma GCC diagnostic pop

} // namespace moirelle::forms
