#pragma once
// The library's one image object: a 32-bpp premultiplied, bottom-up DIB section with an
// optional memory device context of its own, the bytes of the file it came from (when
// kept), and the settings that steer drawing.

#include "dib/ImageTarget.h"
#include "dib/ImageType.h"
#include "dib/PixelView.h"
#include "dib/win/SystemVersion.h"
#include "platform/win/Handles.h"

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

namespace moirelle {

class c32bppDIB final : public IImageTarget {
  public:
    // Probes the running system's capabilities.
    c32bppDIB();
    // Probes as if running on the given system version.
    explicit c32bppDIB(const SystemVersion& version);
    ~c32bppDIB() override;
    c32bppDIB(const c32bppDIB&) = delete;
    c32bppDIB& operator=(const c32bppDIB&) = delete;

    // --- Model --------------------------------------------------------------------
    bool InitializeDIB(int32_t Width, int32_t Height) override;
    void DestroyDIB() override;
    // Clears every pixel to transparent black; type imgBlank, alpha true.
    void EraseDIB();
    // true: selects the DIB into the own DC (made on demand) and returns it, or null
    // without an image. false: deselects it and, unless ManageOwnDC, deletes the DC.
    HDC LoadDIBinDC(bool bLoad);
    bool ManageOwnDC() const { return manageDC_; }
    void ManageOwnDC(bool bManage);

    HBITMAP Handle() const { return dib_.get(); }
    uint8_t* BitsPointer() const override { return bits_; }
    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    int32_t scanWidth() const { return width_ * 4; }
    bool Alpha() const { return alpha_; }
    int32_t ImageType() const { return imageType_; }
    PixelView View() const { return {bits_, width_, height_}; }

    bool HighQualityInterpolation() const { return highQuality_; }
    void HighQualityInterpolation(bool Value) { highQuality_ = Value; }
    bool isAlphaBlendFriendly() const { return (flags_ & capAlphaBlendFriendly) != 0; }
    void isAlphaBlendFriendly(bool Enabled);
    bool isGDIplusEnabled() const { return (flags_ & capGDIplusEnabled) != 0; }
    void isGDIplusEnabled(bool Enabled);
    bool isZlibEnabled() const;
    uintptr_t gdiToken() const { return gdiToken_; }
    void gdiToken(uintptr_t Token) { gdiToken_ = Token; }

    // The capability flag bits (SystemVersion.h).
    uint32_t CapabilityFlags() const { return flags_; }

    // For the library's own readers and copies.
    void SetAlphaFlag(bool value) override { alpha_ = value; }
    void SetImageType(int32_t value) override { imageType_ = value; }
    // Replaces the kept source bytes with a copy.
    void SetOriginalFormatBytes(std::span<const uint8_t> bytes);
    const std::vector<uint8_t>& OriginalFormatBytes() const { return originalFormat_; }

    // --- Loading ------------------------------------------------------------------

    // --- Rendering ----------------------------------------------------------------

    // --- Pixel effects and drop shadow --------------------------------------------

    // --- Pixel access, regions and copies ------------------------------------------

    // --- Saving and file names ------------------------------------------------------

  private:
    void Probe(const SystemVersion& version);
    void DeleteOwnDC();

    bool highQuality_ = false;
    win::UniqueBitmap dib_;
    uint8_t* bits_ = nullptr;
    int32_t height_ = 0;
    int32_t width_ = 0;
    win::UniqueMemoryDC ownDC_;
    HGDIOBJ previousBitmap_ = nullptr; // set while the DIB is selected into ownDC_
    uint32_t flags_ = 0;
    int32_t imageType_ = imgBlank;
    bool manageDC_ = false;
    bool alpha_ = false;
    uintptr_t gdiToken_ = 0;
    std::vector<uint8_t> originalFormat_;
};

} // namespace moirelle
