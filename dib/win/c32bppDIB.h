#pragma once
// The library's one image object: a 32-bpp premultiplied, bottom-up DIB section with an
// optional memory device context of its own, the bytes of the file it came from (when
// kept), and the settings that steer drawing.

#include "dib/ImageTarget.h"
#include "dib/ImageType.h"
#include "dib/PixelLayout.h"
#include "dib/PixelView.h"
#include "dib/RenderRequest.h"
#include "dib/win/DragDropData.h"
#include "dib/win/SystemVersion.h"
#include "platform/win/Handles.h"

#include <ocidl.h>
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace moirelle {

struct PreparedSource;

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
    // A bare image object (no capability probe) to hold pixels until TakePixels.
    std::unique_ptr<IImageTarget> NewSameKind() const override;
    bool TakePixels(IImageTarget& from) override;
    // Replaces the kept source bytes with a copy.
    void SetOriginalFormatBytes(std::span<const uint8_t> bytes);
    const std::vector<uint8_t>& OriginalFormatBytes() const { return originalFormat_; }

    // --- Loading ------------------------------------------------------------------
    // Every load destroys the current image first, so a failed load leaves the object
    // empty; each answers whether an image is held afterwards. Readers are tried in the
    // order PNG, GIF, icon/cursor, bitmap, then GDI+ (when enabled). iconCx, iconCy: the
    // icon size wanted (0 lets the icon reader choose; negative counts as 0);
    // iconBitDepth: the depth wanted (outside 0..32 counts as 32); SaveFormat: keep the
    // source bytes (GetOrginalFormat).
    bool LoadPicture_File(const std::wstring& FileName, int32_t iconCx = 0, int32_t iconCy = 0,
                          bool SaveFormat = false, int32_t iconBitDepth = 32);
    // The image is the slice of streamLength bytes from streamStart (0: to the end).
    // Slices of 56 bytes or less, or reaching past the end of the array, are refused.
    bool LoadPicture_Stream(std::span<const uint8_t> inStream, int32_t iconCx = 0,
                            int32_t iconCy = 0, int32_t streamStart = 0, int32_t streamLength = 0,
                            bool SaveFormat = false, int32_t iconBitDepth = 32);
    // A resource identifier or section: a number or a name.
    using ResourceName = std::variant<int32_t, std::wstring>;
    // A named ResSection: the raw resource data, loaded as a byte array. A numbered one: a
    // picture resource of that kind (0 bitmap, 1 icon, 2 cursor). VBglobal: the module
    // whose resources are read (null: this program).
    bool LoadPicture_Resource(const ResourceName& ResIndex, const ResourceName& ResSection,
                              HMODULE VBglobal = nullptr, int32_t iconCx = 0, int32_t iconCy = 0,
                              int32_t streamStart = 0, int32_t streamLength = 0,
                              int32_t iconBitDepth = 32);
    bool LoadPicture_StdPicture(IPicture* Picture);
    // A bitmap, metafile, enhanced-metafile, icon or cursor handle; it stays the caller's.
    bool LoadPicture_ByHandle(HANDLE Handle);
    // The clipboard's bitmap, device-independent bitmap, enhanced metafile or metafile.
    bool LoadPicture_ClipBoard();
    // Loads the kept source bytes again (e.g. to pick another size out of an icon file).
    bool LoadPicture_FromOrignalFormat(int32_t iconCx = 0, int32_t iconCy = 0,
                                       int32_t iconBitDepth = 32);
    // A copy of the kept source bytes; true when there are any.
    bool GetOrginalFormat(std::vector<uint8_t>& outStream) const;
    // For icon and cursor images: one entry per image of the source (width, height, bit
    // depth, colour count); returns the count, 0 for other images.
    int32_t SourceIconSizes(std::vector<std::array<int32_t, 4>>& sizeArray) const;
    // The colour count reported for an icon image of the given bit depth.
    static int32_t IconColorCount(int32_t bitDepth);

    // --- Rendering ----------------------------------------------------------------
    // Draws the image onto destinationDC, or into destHostDIB when one is given: scaled
    // to the destination size (0 = the image's; negative sizes mirror), from the source
    // rectangle (0 sizes = the image's; negative sizes mirror), at Opacity per cent
    // (taken modulo 100, 0 meaning 100; 0 or below draws nothing), with an optional
    // grayscale kind (-1 none), lightness change (-100..100 per cent) and rotation in
    // degrees. CenterOnDestXY makes destX, destY the destination's centre. `Blend` has no
    // effect. Draws through AlphaBlend, GDI+ or the software renderer.
    bool Render(HDC destinationDC, int32_t destX = 0, int32_t destY = 0, int32_t destWidth = 0,
                int32_t destHeight = 0, int32_t SrcX = 0, int32_t SrcY = 0, int32_t srcWidth = 0,
                int32_t srcHeight = 0, int32_t Opacity = 100, bool Blend = true,
                bool SetHalfTone = true, c32bppDIB* destHostDIB = nullptr, int32_t grayScale = -1,
                float LightAdjustment = 0, float Angle = 0, bool CenterOnDestXY = false);
    // The same with the arguments named in a request.
    bool Render(HDC destinationDC, const RenderRequest& request, c32bppDIB* destHostDIB = nullptr);

    // --- Pixel effects and drop shadow --------------------------------------------
    // Inverts every visible pixel's colour. False without an image.
    bool MakeImageInverse();
    // Makes every opaque pixel of TransparentColor (red in the low byte) transparent, or
    // with Revert every transparent-black pixel that colour again.
    bool MakeTransparent(uint32_t TransparentColor, bool Revert = false);
    // Mirrors the whole image left to right and/or top to bottom.
    bool MirrorImage(bool MirrorAxisX, bool MirrorAxisY);
    // Paints a checkerboard of CheckerSize-pixel squares (colours red in the low byte)
    // over the image; refuses a CheckerSize below 1.
    bool CreateCheckerBoard(int32_t CheckerSize = 12, uint32_t FirstColor = 0xFFFFFF,
                            uint32_t SecondColor = 0xC0C0C0);
    // A blurred silhouette of the alpha channel in Color (red in the low byte), grown by
    // 2 x blurDepth (0..10) pixels; null without an image.
    std::unique_ptr<c32bppDIB> CreateDropShadow(int32_t blurDepth = 4, uint32_t Color = 0xC0C0C0);
    // Makes a drop shadow and draws it at (X, Y) at its natural size.
    bool RenderDropShadow_JIT(HDC hDC, int32_t X, int32_t Y, int32_t blurDepth = 4,
                              uint32_t Color = 0xC0C0C0, int32_t Opacity = 50);

    // --- Pixel access, regions and copies ------------------------------------------
    // The colour at picture position (X, Y), red in the low byte, or -1 outside.
    int32_t GetPixel(int32_t X, int32_t Y, int32_t* AlphaValue = nullptr,
                     bool asPreMultiplied = false) const;
    // Copies a block of pixels out in the layout asked for (see dib/PixelLayout.h).
    bool GetDIBbits(ByteArray& outStream, bool as2dArray = true, bool asBGRformat = true,
                    bool as32bpp = true, bool asWordAligned = true, bool asBottomUp = true,
                    int32_t X = 0, int32_t Y = 0, int32_t Width = 0, int32_t Height = 0,
                    bool asPreMultiplied = true) const;
    // Copies pixels in from the layout given, then re-examines the alpha channel.
    bool SetDIBbits(std::span<const uint8_t> inStream, bool isBGRformat = true, bool is32bpp = true,
                    bool isWordAligned = true, bool isBottomUp = true, int32_t dstX = 0,
                    int32_t dstY = 0, int32_t dstWidth = 0, int32_t dstHeight = 0);
    // A region of the visible pixels: Style 0 bounding rectangle, 1 one span per row,
    // 2 exact shape; moved by the offsets. Empty without an image or for another style.
    win::UniqueRegion CreateRegion(int32_t Style = 0, int32_t xOffset = 0,
                                   int32_t yOffset = 0) const;
    // Copies the image into cDIBclass (made when null), scaled to the new size (0 = the
    // image's; a negative size mirrors the whole image).
    void CopyImageTo(std::unique_ptr<c32bppDIB>& cDIBclass, int32_t newWidth = 0,
                     int32_t newHeight = 0, bool CopyOriginalFormat = false);

    // --- Saving and file names ------------------------------------------------------
    // The image as the bytes of a bitmap file: 32-bit with alpha, 24-bit without.
    bool SaveToStream(std::vector<uint8_t>& outStream) const;
    // Replaces the drop's file list by the full wide-character names of its files.
    static bool GetDroppedFileNames(DragDropData* OLEDragDrop_DataObject);
    // The names of the files on the clipboard; answers how many.
    static int32_t GetPastedFileNames(std::vector<std::wstring>& ListOfFiles);

  private:
    struct Unprobed {};
    explicit c32bppDIB(Unprobed) {}
    void Probe(const SystemVersion& version);
    // The end of every file and byte-array load: file is an open handle or null, bytes
    // the byte array (empty for a file).
    bool LoadCore(HANDLE file, const std::wstring& fileName, std::span<const uint8_t> bytes,
                  int32_t iconCx, int32_t iconCy, size_t streamStart, size_t streamLength,
                  bool SaveFormat, int32_t iconBitDepth);
    // Wraps an enhanced metafile that this object owns into a picture and loads that.
    bool LoadEnhMetafileCopy(HENHMETAFILE copy);
    // Rendering roads (dib/win/c32bppDIB_Render.cpp).
    bool RenderRotated(HDC destinationDC, const RenderRequest& r, int32_t opacity,
                       c32bppDIB* destHostDIB);
    bool RenderAlphaBlend(HDC destinationDC, const RenderRequest& r, int32_t opacity,
                          bool SetHalfTone, c32bppDIB* destHostDIB);
    bool RenderSoftware(HDC destinationDC, const RenderRequest& r, int32_t opacity,
                        c32bppDIB* destHostDIB);
    bool RenderThroughGDIplus(HDC destinationDC, float Angle, int32_t opacity,
                              const RenderRequest& r);
    bool BlendToDestination(HDC destinationDC, PreparedSource& prepared, uint32_t op,
                            c32bppDIB* destHostDIB, int32_t grayScale);
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
