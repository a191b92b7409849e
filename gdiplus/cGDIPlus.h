#pragma once
// The library's only user of GDI+: a probe, the render operation, the general image
// loader and the PNG encoder. Every operation works whether or not GDI+ is running: given
// the caller's token (not 0) it uses that session and never stops it; given 0 it starts
// GDI+ for itself and shuts it down before it returns. The class keeps nothing between
// calls.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace moirelle {

class c32bppDIB;

class cGDIPlus {
  public:
    // Whether GDI+ can be started here: its library loads and exports its start-up
    // function and the start succeeds. With KeepToken the session stays running and
    // gdiToken holds its token for the caller to shut down; otherwise it is shut down
    // again at once (gdiToken keeps the stale number). Without the library: false and
    // gdiToken 0.
    bool isGDIplusOk(uintptr_t& gdiToken, bool KeepToken = false);

    // Draws the source rectangle (picture coordinates) of cHost into the destination
    // rectangle of destinationDC. A negative destWidth mirrors left to right, a negative
    // destHeight top to bottom. Angle (degrees) turns the image about the centre of the
    // destination rectangle; Opacity is in per cent (0 draws nothing and answers true);
    // grayScale is a grayscale kind (-1 none); LightAdjustment adds that per cent of full
    // brightness to every colour channel. HighQuality chooses bicubic over
    // nearest-neighbour sampling. True when GDI+ drew.
    bool RenderGDIplus(const c32bppDIB& cHost, HDC destinationDC, float Angle, int32_t Opacity,
                       int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                       int32_t SrcX, int32_t SrcY, int32_t srcWidth, int32_t srcHeight,
                       bool HighQuality, int32_t grayScale, uintptr_t GlobalToken,
                       float LightAdjustment);

    // Fills cHost with any image GDI+ decodes: from the file FileName when it is not
    // empty (the file is released again before this returns), otherwise from inStream.
    // On success cHost's type is imgPNG and its Alpha flag tells whether the source had an
    // alpha channel; on failure cHost holds no image.
    bool GDIplusLoadPicture(const std::wstring& FileName, std::span<const uint8_t> inStream,
                            c32bppDIB& cHost, uintptr_t GlobalToken);

    // Writes cHost as a PNG file: to FileName when it is not empty, otherwise into
    // outStream (which then holds exactly the PNG file's bytes).
    bool SaveToPNG(const std::wstring& FileName, std::vector<uint8_t>& outStream,
                   const c32bppDIB& cHost, uintptr_t GlobalToken);
};

} // namespace moirelle
