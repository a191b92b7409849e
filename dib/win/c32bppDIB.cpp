#include "dib/win/c32bppDIB.h"

#include "dib/DibGeometry.h"
#include "formats/ZlibAccess.h"
#include "gdiplus/cGDIPlus.h"

#include <cstring>

namespace moirelle {

c32bppDIB::c32bppDIB() {
    Probe(QuerySystemVersion());
}

c32bppDIB::c32bppDIB(const SystemVersion& version) {
    Probe(version);
}

c32bppDIB::~c32bppDIB() {
    DestroyDIB();
}

void c32bppDIB::Probe(const SystemVersion& version) {
    flags_ = CapabilityFlagsFor(version);
    isGDIplusEnabled(true);
    if (isGDIplusEnabled()) highQuality_ = true;
}

bool c32bppDIB::InitializeDIB(int32_t Width, int32_t Height) {
    DestroyDIB();
    int32_t height = 0;
    int32_t bytes = 0;
    if (!NormaliseDibSize(Width, Height, height, bytes)) return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Width;
    info.bmiHeader.biHeight = height; // positive: bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(bytes);

    win::WindowDC screen;
    void* bits = nullptr;
    win::UniqueBitmap dib(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return false;
    if (manageDC_ && !ownDC_) ownDC_.reset(CreateCompatibleDC(screen.get()));

    dib_ = std::move(dib);
    bits_ = static_cast<uint8_t*>(bits);
    width_ = Width;
    height_ = height;
    alpha_ = true;
    imageType_ = imgBlank;
    return true;
}

std::unique_ptr<IImageTarget> c32bppDIB::NewSameKind() const {
    return std::unique_ptr<c32bppDIB>(new c32bppDIB(Unprobed{}));
}

bool c32bppDIB::TakePixels(IImageTarget& from) {
    auto* other = dynamic_cast<c32bppDIB*>(&from);
    if (!other) return false;
    if (other == this) return true;
    // What InitializeDIB does to this object, with the other's section as the new one.
    DestroyDIB();
    other->DeleteOwnDC();
    if (manageDC_ && !ownDC_) {
        win::WindowDC screen;
        ownDC_.reset(CreateCompatibleDC(screen.get()));
    }
    dib_ = std::move(other->dib_);
    bits_ = other->bits_;
    width_ = other->width_;
    height_ = other->height_;
    alpha_ = true;
    imageType_ = imgBlank;
    other->DestroyDIB();
    return true;
}

void c32bppDIB::DeleteOwnDC() {
    if (ownDC_ && previousBitmap_) SelectObject(ownDC_.get(), previousBitmap_);
    previousBitmap_ = nullptr;
    ownDC_.reset();
}

void c32bppDIB::DestroyDIB() {
    DeleteOwnDC();
    if (dib_) {
        dib_.reset();
        std::vector<uint8_t>().swap(originalFormat_);
    }
    bits_ = nullptr;
    width_ = height_ = 0;
    alpha_ = false;
    imageType_ = imgNone;
}

void c32bppDIB::EraseDIB() {
    if (!dib_) return;
    GdiFlush(); // the system may still be drawing into the section
    std::memset(bits_, 0, static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
    imageType_ = imgBlank;
    alpha_ = true;
}

HDC c32bppDIB::LoadDIBinDC(bool bLoad) {
    if (bLoad) {
        if (!dib_) return nullptr;
        if (!ownDC_) {
            win::WindowDC screen;
            ownDC_.reset(CreateCompatibleDC(screen.get()));
            if (!ownDC_) return nullptr;
        }
        if (!previousBitmap_) previousBitmap_ = SelectObject(ownDC_.get(), dib_.get());
        return ownDC_.get();
    }
    if (ownDC_ && previousBitmap_) SelectObject(ownDC_.get(), previousBitmap_);
    previousBitmap_ = nullptr;
    if (!manageDC_) ownDC_.reset();
    return nullptr;
}

void c32bppDIB::ManageOwnDC(bool bManage) {
    if (!bManage) {
        DeleteOwnDC();
    } else if (!ownDC_ && dib_) {
        win::WindowDC screen;
        ownDC_.reset(CreateCompatibleDC(screen.get()));
    }
    manageDC_ = bManage;
}

void c32bppDIB::isAlphaBlendFriendly(bool Enabled) {
    if (Enabled) {
        if (flags_ & capAlphaBlendUsable) flags_ |= capAlphaBlendFriendly;
    } else {
        flags_ &= ~capAlphaBlendFriendly;
    }
}

void c32bppDIB::isGDIplusEnabled(bool Enabled) {
    if (Enabled != isGDIplusEnabled()) flags_ &= ~capGDIplusEnabled;
    if (Enabled && !(flags_ & capNoGDIplus)) {
        uintptr_t token = 0;
        if (cGDIPlus().isGDIplusOk(token, false)) flags_ |= capGDIplusEnabled;
    }
}

bool c32bppDIB::isZlibEnabled() const {
    std::string name;
    int32_t kind = 0;
    bool isCdecl = false;
    return modParsers::ProbeZlib(name, kind, isCdecl, true);
}

void c32bppDIB::SetOriginalFormatBytes(std::span<const uint8_t> bytes) {
    originalFormat_.assign(bytes.begin(), bytes.end());
}

} // namespace moirelle
