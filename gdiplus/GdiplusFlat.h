#pragma once
// The part of GDI+'s flat API that the bridge calls, reached by name in the system's
// gdiplus.dll at run time, so that the program starts and works (without GDI+) on a
// system that has no such library.

#include <windows.h>

#include <objidl.h>

#include <cstdint>
#include <string>

namespace moirelle::gdip {

// Opaque GDI+ objects. A bitmap is an image; the flat API takes either through GpImage.
struct GpImage;
struct GpGraphics;
struct GpImageAttributes;
using GpBitmap = GpImage;

using GpStatus = int;
inline constexpr GpStatus statusOk = 0;

// Values passed to GDI+.
inline constexpr int32_t pixelFormat32bppARGB = 0x26200A;
inline constexpr int32_t pixelFormat32bppPARGB = 0xE200B;
inline constexpr int32_t unitPixel = 2;
inline constexpr int32_t interpolationNearestNeighbor = 5;
inline constexpr int32_t interpolationHighQualityBicubic = 7;
inline constexpr int32_t colorAdjustTypeBitmap = 1;
inline constexpr int32_t matrixOrderPrepend = 0;
inline constexpr int32_t matrixOrderAppend = 1;
// Rotate/flip codes.
inline constexpr int32_t rotateNoneFlipNone = 0;
inline constexpr int32_t rotate180FlipNone = 2; // both mirrors
inline constexpr int32_t rotateNoneFlipX = 4;   // left to right
inline constexpr int32_t rotateNoneFlipY = 6;   // top to bottom

struct StartupInput {
    UINT32 GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

// 5 x 5, row-major, applied to the row vector (r, g, b, a, 1); row 4 holds the additive
// terms and [3][3] scales alpha.
struct ColorMatrix {
    float m[5][5] = {};
};

struct RectF {
    float X, Y, Width, Height;
};

// One record of the encoder list, laid out as GDI+ returns it on this platform.
struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};

// The flat functions, resolved by name. Every pointer is set when the table is handed out.
struct Api {
    GpStatus(WINAPI* GdiplusStartup)(ULONG_PTR*, const StartupInput*, void*);
    void(WINAPI* GdiplusShutdown)(ULONG_PTR);
    GpStatus(WINAPI* GdipCreateBitmapFromScan0)(INT, INT, INT, INT, BYTE*, GpBitmap**);
    GpStatus(WINAPI* GdipImageRotateFlip)(GpImage*, INT);
    GpStatus(WINAPI* GdipCreateFromHDC)(HDC, GpGraphics**);
    GpStatus(WINAPI* GdipDeleteGraphics)(GpGraphics*);
    GpStatus(WINAPI* GdipSetInterpolationMode)(GpGraphics*, INT);
    GpStatus(WINAPI* GdipCreateImageAttributes)(GpImageAttributes**);
    GpStatus(WINAPI* GdipSetImageAttributesColorMatrix)(GpImageAttributes*, INT, BOOL,
                                                        const ColorMatrix*, const ColorMatrix*,
                                                        INT);
    GpStatus(WINAPI* GdipDisposeImageAttributes)(GpImageAttributes*);
    GpStatus(WINAPI* GdipRotateWorldTransform)(GpGraphics*, float, INT);
    GpStatus(WINAPI* GdipTranslateWorldTransform)(GpGraphics*, float, float, INT);
    GpStatus(WINAPI* GdipDrawImageRectRectI)(GpGraphics*, GpImage*, INT, INT, INT, INT, INT, INT,
                                             INT, INT, INT, const GpImageAttributes*, void*, void*);
    GpStatus(WINAPI* GdipDisposeImage)(GpImage*);
    GpStatus(WINAPI* GdipLoadImageFromFile)(const WCHAR*, GpImage**);
    GpStatus(WINAPI* GdipLoadImageFromStream)(IStream*, GpImage**);
    GpStatus(WINAPI* GdipGetImageBounds)(GpImage*, RectF*, INT*);
    GpStatus(WINAPI* GdipGetImagePixelFormat)(GpImage*, INT*);
    GpStatus(WINAPI* GdipGetImageEncodersSize)(UINT*, UINT*);
    GpStatus(WINAPI* GdipGetImageEncoders)(UINT, UINT, ImageCodecInfo*);
    GpStatus(WINAPI* GdipSaveImageToFile)(GpImage*, const WCHAR*, const CLSID*, const void*);
    GpStatus(WINAPI* GdipSaveImageToStream)(GpImage*, IStream*, const CLSID*, const void*);
};

// The table of the library named by GdiplusLibraryName, or null when that library cannot
// be loaded or lacks one of the functions. Once found, the library stays loaded for the
// rest of the process: a session that a caller keeps running (isGDIplusOk with KeepToken,
// a control's shared start-up) must never see its code unloaded under it.
const Api* LoadApi();

// The library looked for: "gdiplus.dll" unless a test chose another name (an empty or
// unknown name makes GDI+ unavailable).
std::string DefaultGdiplusLibraryName();
void SetGdiplusLibraryName(std::string name);
std::string GdiplusLibraryName();

} // namespace moirelle::gdip
