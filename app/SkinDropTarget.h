#pragma once
// Picture files dropped on a window become a skin. The layer a file becomes is told from
// its first bytes: a PNG whose pixels carry an alpha channel becomes the texture; any other
// picture the base picture loader or the image library reads (PNG without alpha, bitmap,
// GIF, JPEG, icon, cursor, metafile) becomes the base picture; anything else is refused.
// While files are dragged over the window, the drop is offered (copy) when one of them is a
// picture and refused (the no-drop cursor) otherwise; a drop tries the files in order and
// keeps the first one that loads.

#include "platform/win/ComPtr.h"

#include <ole2.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace moirelle::app {

enum class SkinLayer { None, Base, Texture };

// The layer of a file that begins with these bytes (at least the first 64 when the file
// has them).
SkinLayer SkinLayerOf(std::span<const uint8_t> head);
// The same for a file on disk (UTF-8 path); None when it cannot be read.
SkinLayer SkinLayerOfFile(const std::string& path);

// Applies a dropped picture as that layer; answers whether it loaded and was kept.
using ApplyDroppedSkin = std::function<bool(const std::string& path, SkinLayer layer)>;

// What a drop of these files does: the index of the first picture that `apply` keeps, or -1
// when none was a picture or none loaded.
int DropFiles(const std::vector<std::string>& files, const ApplyDroppedSkin& apply);

// COM objects are destroyed by Release, never through a base pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class SkinDropTarget final : public IDropTarget {
  public:
    static win::ComPtr<IDropTarget> Create(ApplyDroppedSkin apply);

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
    explicit SkinDropTarget(ApplyDroppedSkin apply) : apply_(std::move(apply)) {}
    ~SkinDropTarget() = default;
    // The effect offered: copy when allowed and the drag carries a picture.
    DWORD Offered(DWORD allowed) const;

    LONG refs_ = 1;
    ApplyDroppedSkin apply_;
    bool carriesPicture_ = false;
};
#pragma GCC diagnostic pop

// A window registered as an OLE drop target for as long as this object lives (OLE is
// started on the thread for that time).
class SkinDropRegistration {
  public:
    SkinDropRegistration() = default;
    SkinDropRegistration(HWND window, ApplyDroppedSkin apply);
    ~SkinDropRegistration();
    SkinDropRegistration(const SkinDropRegistration&) = delete;
    SkinDropRegistration& operator=(const SkinDropRegistration&) = delete;

  private:
    HWND window_ = nullptr;
    bool oleStarted_ = false;
};

} // namespace moirelle::app
