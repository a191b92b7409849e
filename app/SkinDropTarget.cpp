#include "app/SkinDropTarget.h"

#include "forms/DataObject.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace moirelle::app {
namespace {

// Where the IHDR chunk's colour type lies: signature, length, "IHDR", width, height, depth.
constexpr size_t kPngColourType = 8 + 4 + 4 + 4 + 4 + 1;
constexpr size_t kHeadBytes = 64;

bool StartsWith(std::span<const uint8_t> head, std::initializer_list<uint8_t> bytes) {
    return head.size() >= bytes.size() && std::equal(bytes.begin(), bytes.end(), head.begin());
}

SkinLayer PngLayer(std::span<const uint8_t> head) {
    if (head.size() <= kPngColourType || std::memcmp(head.data() + 12, "IHDR", 4) != 0)
        return SkinLayer::None;
    switch (head[kPngColourType]) {
    case 4: // grey with alpha
    case 6: // colour with alpha
        return SkinLayer::Texture;
    case 0: // grey
    case 2: // colour
    case 3: // palette
        return SkinLayer::Base;
    default:
        return SkinLayer::None;
    }
}

} // namespace

SkinLayer SkinLayerOf(std::span<const uint8_t> head) {
    if (StartsWith(head, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return PngLayer(head);
    const bool picture =
        StartsWith(head, {'B', 'M'}) || StartsWith(head, {'G', 'I', 'F', '8', '7', 'a'}) ||
        StartsWith(head, {'G', 'I', 'F', '8', '9', 'a'}) || StartsWith(head, {0xFF, 0xD8, 0xFF}) ||
        StartsWith(head, {0, 0, 1, 0}) || StartsWith(head, {0, 0, 2, 0}) ||
        StartsWith(head, {0xD7, 0xCD, 0xC6, 0x9A}) ||
        (StartsWith(head, {1, 0, 0, 0}) && head.size() >= 44 &&
         std::memcmp(head.data() + 40, " EMF", 4) == 0);
    return picture ? SkinLayer::Base : SkinLayer::None;
}

SkinLayer SkinLayerOfFile(const std::string& path) {
    win::UniqueFile file(CreateFileW(win::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::array<uint8_t, kHeadBytes> head{};
    DWORD read = 0;
    if (!file ||
        !ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr))
        return SkinLayer::None;
    return SkinLayerOf(std::span<const uint8_t>(head.data(), read));
}

int DropFiles(const std::vector<std::string>& files, const ApplyDroppedSkin& apply) {
    for (size_t i = 0; i < files.size(); ++i) {
        SkinLayer layer = SkinLayerOfFile(files[i]);
        if (layer != SkinLayer::None && apply(files[i], layer)) return static_cast<int>(i);
    }
    return -1;
}

namespace {

std::vector<std::string> DroppedFiles(IDataObject* data) {
    std::vector<std::string> files;
    if (!data) return files;
    forms::DataObject object(win::ComPtr<IDataObject>::Share(data));
    for (const std::wstring& f : object.Files())
        files.push_back(win::Narrow(f));
    return files;
}

} // namespace

win::ComPtr<IDropTarget> SkinDropTarget::Create(ApplyDroppedSkin apply) {
    return win::ComPtr<IDropTarget>::Attach(new SkinDropTarget(std::move(apply)));
}

HRESULT SkinDropTarget::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *out = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG SkinDropTarget::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG SkinDropTarget::Release() {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

DWORD SkinDropTarget::Offered(DWORD allowed) const {
    return carriesPicture_ && (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

HRESULT SkinDropTarget::DragEnter(IDataObject* data, DWORD /*keys*/, POINTL /*pt*/, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    const std::vector<std::string> files = DroppedFiles(data);
    carriesPicture_ = std::any_of(files.begin(), files.end(), [](const std::string& f) {
        return SkinLayerOfFile(f) != SkinLayer::None;
    });
    *effect = Offered(*effect);
    return S_OK;
}

HRESULT SkinDropTarget::DragOver(DWORD /*keys*/, POINTL /*pt*/, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    *effect = Offered(*effect);
    return S_OK;
}

// Every drag starts with DragEnter, which looks at the files anew.
HRESULT SkinDropTarget::DragLeave() {
    return S_OK;
}

HRESULT SkinDropTarget::Drop(IDataObject* data, DWORD /*keys*/, POINTL /*pt*/, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    if (!(allowed & DROPEFFECT_COPY)) return S_OK;
    if (DropFiles(DroppedFiles(data), apply_) >= 0) *effect = DROPEFFECT_COPY;
    return S_OK;
}

SkinDropRegistration::SkinDropRegistration(HWND window, ApplyDroppedSkin apply) {
    if (!window) return;
    HRESULT hr = OleInitialize(nullptr);
    if (FAILED(hr)) return;
    oleStarted_ = true;
    // Revoking a window that did not take the target is harmless.
    RegisterDragDrop(window, SkinDropTarget::Create(std::move(apply)).Get());
    window_ = window;
}

SkinDropRegistration::~SkinDropRegistration() {
    if (window_) RevokeDragDrop(window_);
    if (oleStarted_) OleUninitialize();
}

} // namespace moirelle::app
