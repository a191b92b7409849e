// The loading dispatch: normalises the arguments, offers the data to the readers in turn
// (PNG, GIF, icon/cursor, bitmap, then GDI+) and keeps the source bytes when asked.
//
// Run-time errors: the PNG reader reports every fault through its result and the image
// and leaves no error behind, so there is never a message to show after it.
#include "dib/win/HandleByteSource.h"
#include "dib/win/c32bppDIB.h"
#include "formats/cBMPparser.h"
#include "formats/cGIFparser.h"
#include "formats/cICOparser.h"
#include "formats/cPNGparser.h"
#include "formats/win/modParsersWin.h"
#include "gdiplus/cGDIPlus.h"
#include "platform/win/Text.h"

#include <algorithm>
#include <new>

namespace moirelle {
namespace {

// Files and slices of this size or less are refused before any reader sees them.
constexpr int64_t kSmallestImage = 56;

bool ReadWholeFile(HANDLE file, uint64_t length, std::vector<uint8_t>& out) {
    if (length > static_cast<uint64_t>(INT32_MAX)) return false;
    out.resize(static_cast<size_t>(length));
    HandleByteSource source(file);
    return length == 0 || source.ReadAt(0, out.data(), out.size());
}

// Opens a file for reading with the wide-character call when the system wants it, else
// the kind that the desktop window uses.
win::UniqueFile OpenForReading(const std::wstring& name, uint32_t flags) {
    const bool wide = ((flags & capAlphaBlendUsable) && !(flags & capWin9x)) ||
                      IsWindowUnicode(GetDesktopWindow());
    HANDLE h;
    if (wide) {
        h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    } else {
        const int size =
            WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string narrow(static_cast<size_t>(std::max(size, 1)), '\0');
        WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow.data(), size, nullptr, nullptr);
        h = CreateFileA(narrow.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return win::UniqueFile(h);
}

// Holds the clipboard open for a scope.
class OpenClipboardScope {
  public:
    OpenClipboardScope() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    explicit operator bool() const { return open_; }

  private:
    bool open_;
};

} // namespace

bool c32bppDIB::LoadEnhMetafileCopy(HENHMETAFILE copy) {
    if (!copy) return false;
    const auto picture = modParsers::PictureFromHandle(copy, modParsers::pictureEnhMetafile);
    if (!picture) {
        DeleteEnhMetaFile(copy);
        return false;
    }
    return LoadPicture_StdPicture(picture.Get());
}

bool c32bppDIB::LoadCore(HANDLE file, const std::wstring& fileName, std::span<const uint8_t> bytes,
                         int32_t iconCx, int32_t iconCy, size_t streamStart, size_t streamLength,
                         bool SaveFormat, int32_t iconBitDepth) {
    DestroyDIB();
    iconCx = std::max(iconCx, 0);
    iconCy = std::max(iconCy, 0);
    if (iconBitDepth < 0 || iconBitDepth > 32) iconBitDepth = 32;
    try {
        std::vector<uint8_t> fileBytes; // the file's contents once they are needed whole

        // With GDI+ enabled, PNG data (a PNG file, or a PNG entry of an icon) go to GDI+'s
        // loader first; the PNG reader's own decoder runs when it declines.
        cPNGparser::ExternalLoader gdiplusLoader;
        if (isGDIplusEnabled()) {
            // The file path is offered the caller's wide name itself (no round trip
            // through the reader's narrow copy).
            gdiplusLoader = [this, &fileName](const cPNGparser::ExternalSource& source,
                                              IImageTarget& /*target: this object*/,
                                              uintptr_t token) {
                return cGDIPlus().GDIplusLoadPicture(source.fileName.empty() ? std::wstring()
                                                                             : fileName,
                                                     source.bytes, *this, token);
            };
        }
        cPNGparser png;
        if (gdiplusLoader) png.SetExternalLoader(gdiplusLoader);
        bool isPNG;
        if (file) {
            HandleByteSource source(file);
            isPNG = png.LoadFile(source, win::Narrow(fileName), *this, gdiToken_);
        } else {
            isPNG = png.LoadStream(bytes, *this, streamStart, streamLength, gdiToken_);
        }

        if (!isPNG) {
            if (file) {
                uint64_t size = 0;
                if (!HandleByteSource(file).Size(size) || !ReadWholeFile(file, size, fileBytes))
                    return false;
                bytes = fileBytes;
                streamStart = 0;
                streamLength = fileBytes.size();
            }
            // Each reader answers false when the data are not its format.
            cICOparser ico;
            if (gdiplusLoader) ico.SetPngLoader(gdiplusLoader);
            if (!cGIFparser().LoadStream(bytes, *this, streamStart, streamLength) &&
                !ico.LoadStream(bytes, iconCx, iconCy, this, streamStart, streamLength,
                                iconBitDepth, gdiToken_)) {
                cBMPparser bmp;
                bmp.UseSystemPictureLoader();
                bmp.LoadStream(bytes, *this, streamStart, streamLength);
            }
        }

        if (!Handle() && isGDIplusEnabled()) {
            // Last, whatever GDI+ decodes: the file by its name, else the slice of the
            // array that holds the image. With SaveFormat the kept bytes are then a PNG
            // file of the image, and the source is not read again.
            const std::span<const uint8_t> slice =
                !fileName.empty() || streamStart >= bytes.size()
                    ? bytes
                    : bytes.subspan(streamStart,
                                    std::min(streamLength, bytes.size() - streamStart));
            if (cGDIPlus().GDIplusLoadPicture(fileName, slice, *this, gdiToken_) && SaveFormat) {
                std::vector<uint8_t> pngFile;
                if (cGDIPlus().SaveToPNG(L"", pngFile, *this, gdiToken_)) {
                    fileBytes = std::move(pngFile);
                    bytes = fileBytes;
                    streamStart = 0;
                    streamLength = fileBytes.size();
                    file = nullptr;
                }
            }
        }

        if (!Handle()) return false;
        if (SaveFormat) {
            if (!bytes.empty() || !file) {
                // Exactly the slice that held the image, so that the kept bytes load again
                // by themselves (LoadPicture_FromOrignalFormat, SourceIconSizes).
                const size_t start = std::min(streamStart, bytes.size());
                SetOriginalFormatBytes(
                    bytes.subspan(start, std::min(streamLength, bytes.size() - start)));
            } else {
                uint64_t length = streamLength;
                if (length == 0 && !HandleByteSource(file).Size(length)) return true;
                std::vector<uint8_t> kept;
                if (ReadWholeFile(file, length, kept)) originalFormat_ = std::move(kept);
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        DestroyDIB();
        return false;
    }
}

bool c32bppDIB::LoadPicture_File(const std::wstring& FileName, int32_t iconCx, int32_t iconCy,
                                 bool SaveFormat, int32_t iconBitDepth) {
    DestroyDIB();
    const win::UniqueFile file = OpenForReading(FileName, flags_);
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= kSmallestImage) return false;
    return LoadCore(file.get(), FileName, {}, iconCx, iconCy, 0, 0, SaveFormat, iconBitDepth);
}

bool c32bppDIB::LoadPicture_Stream(std::span<const uint8_t> inStream, int32_t iconCx,
                                   int32_t iconCy, int32_t streamStart, int32_t streamLength,
                                   bool SaveFormat, int32_t iconBitDepth) {
    DestroyDIB();
    if (inStream.empty()) return false;
    const int64_t size = static_cast<int64_t>(inStream.size());
    const int64_t start = std::max<int64_t>(streamStart, 0);
    const int64_t length = streamLength == 0 ? size - start : streamLength;
    if (length <= kSmallestImage || start + length > size) return false;
    return LoadCore(nullptr, {}, inStream, iconCx, iconCy, static_cast<size_t>(start),
                    static_cast<size_t>(length), SaveFormat, iconBitDepth);
}

bool c32bppDIB::LoadPicture_Resource(const ResourceName& ResIndex, const ResourceName& ResSection,
                                     HMODULE VBglobal, int32_t iconCx, int32_t iconCy,
                                     int32_t streamStart, int32_t streamLength,
                                     int32_t iconBitDepth) {
    DestroyDIB();
    const HMODULE module = VBglobal ? VBglobal : GetModuleHandleW(nullptr);
    const wchar_t* id = std::holds_alternative<int32_t>(ResIndex)
                            ? MAKEINTRESOURCEW(std::get<int32_t>(ResIndex))
                            : std::get<std::wstring>(ResIndex).c_str();
    if (const auto* section = std::get_if<std::wstring>(&ResSection)) {
        const HRSRC found = FindResourceW(module, id, section->c_str());
        if (!found) return false;
        const HGLOBAL loaded = LoadResource(module, found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        const DWORD size = SizeofResource(module, found);
        if (!data || size == 0) return false;
        const std::vector<uint8_t> bytes(static_cast<const uint8_t*>(data),
                                         static_cast<const uint8_t*>(data) + size);
        return LoadPicture_Stream(bytes, iconCx, iconCy, streamStart, streamLength, false,
                                  iconBitDepth);
    }
    // A picture resource: 0 bitmap, 1 icon, 2 cursor.
    static const UINT imageKinds[] = {IMAGE_BITMAP, IMAGE_ICON, IMAGE_CURSOR};
    const int32_t kind = std::get<int32_t>(ResSection);
    if (kind < 0 || kind > 2) return false;
    const HANDLE handle = LoadImageW(module, id, imageKinds[kind], 0, 0,
                                     kind == 0 ? LR_CREATEDIBSECTION : LR_DEFAULTCOLOR);
    if (!handle) return false;
    const win::ComPtr<IPicture> picture = modParsers::PictureFromHandle(
        handle, kind == 0 ? modParsers::pictureBitmap : modParsers::pictureIcon);
    if (!picture) {
        if (kind == 0)
            DeleteObject(handle);
        else
            DestroyIcon(static_cast<HICON>(handle));
        return false;
    }
    return LoadPicture_StdPicture(picture.Get());
}

namespace {

// A handle as a picture object hands it out (32 bits), widened as the system widens them.
HANDLE FromOleHandle(OLE_HANDLE handle) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
}

} // namespace

bool c32bppDIB::LoadPicture_StdPicture(IPicture* Picture) {
    DestroyDIB();
    if (!Picture) return false;
    SHORT type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    if (FAILED(Picture->get_Type(&type)) || FAILED(Picture->get_Handle(&handle))) return false;
    switch (type) {
    case PICTYPE_ICON:
        cICOparser().ConvertstdPicTo32bpp(FromOleHandle(handle), *this);
        break;
    case PICTYPE_BITMAP:
        cBMPparser().ConvertstdPicTo32bpp(nullptr, FromOleHandle(handle), *this, 0);
        break;
    case PICTYPE_METAFILE:
    case PICTYPE_ENHMETAFILE:
        cBMPparser().ConvertstdPicTo32bpp(Picture, nullptr, *this, 0);
        break;
    default:
        break;
    }
    return Handle() != nullptr;
}

bool c32bppDIB::LoadPicture_ByHandle(HANDLE Handle) {
    DestroyDIB();
    if (!Handle) return false;
    switch (GetObjectType(Handle)) {
    case OBJ_BITMAP:
        cBMPparser().ConvertstdPicTo32bpp(nullptr, Handle, *this, 0);
        return this->Handle() != nullptr;
    case OBJ_METAFILE: {
        // A picture object owns what it wraps, so it is given a copy (as an enhanced
        // metafile, which carries its own extents) and the caller keeps its handle.
        const UINT size = GetMetaFileBitsEx(static_cast<HMETAFILE>(Handle), 0, nullptr);
        if (size == 0) return false;
        std::vector<BYTE> bits(size);
        GetMetaFileBitsEx(static_cast<HMETAFILE>(Handle), size, bits.data());
        return LoadEnhMetafileCopy(SetWinMetaFileBits(size, bits.data(), nullptr, nullptr));
    }
    case OBJ_ENHMETAFILE:
        return LoadEnhMetafileCopy(CopyEnhMetaFileW(static_cast<HENHMETAFILE>(Handle), nullptr));
    default: {
        ICONINFO info{};
        if (!GetIconInfo(static_cast<HICON>(Handle), &info)) return false;
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        cICOparser().ConvertstdPicTo32bpp(Handle, *this);
        return this->Handle() != nullptr;
    }
    }
}

bool c32bppDIB::LoadPicture_ClipBoard() {
    DestroyDIB();
    const bool bitmap = IsClipboardFormatAvailable(CF_BITMAP) || IsClipboardFormatAvailable(CF_DIB);
    const bool metafile =
        IsClipboardFormatAvailable(CF_ENHMETAFILE) || IsClipboardFormatAvailable(CF_METAFILEPICT);
    if (!bitmap && !metafile) return false;
    win::ComPtr<IPicture> picture;
    {
        const OpenClipboardScope clipboard;
        if (!clipboard) return false;
        // The clipboard keeps its data: the picture gets a copy.
        if (bitmap) {
            const HANDLE data = GetClipboardData(CF_BITMAP);
            const HANDLE copy =
                data ? CopyImage(data, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION) : nullptr;
            if (!copy) return false;
            picture = modParsers::PictureFromHandle(copy, modParsers::pictureBitmap);
            if (!picture) DeleteObject(copy);
        } else {
            const HANDLE data = GetClipboardData(CF_ENHMETAFILE);
            const HENHMETAFILE copy =
                data ? CopyEnhMetaFileW(static_cast<HENHMETAFILE>(data), nullptr) : nullptr;
            if (!copy) return false;
            picture = modParsers::PictureFromHandle(copy, modParsers::pictureEnhMetafile);
            if (!picture) DeleteEnhMetaFile(copy);
        }
    }
    return picture && LoadPicture_StdPicture(picture.Get());
}

bool c32bppDIB::LoadPicture_FromOrignalFormat(int32_t iconCx, int32_t iconCy,
                                              int32_t iconBitDepth) {
    const std::vector<uint8_t> bytes = originalFormat_;
    return LoadPicture_Stream(bytes, iconCx, iconCy, 0, 0, true, iconBitDepth);
}

bool c32bppDIB::GetOrginalFormat(std::vector<uint8_t>& outStream) const {
    outStream = originalFormat_;
    return !outStream.empty();
}

int32_t c32bppDIB::IconColorCount(int32_t bitDepth) {
    switch (bitDepth) {
    case 1:
        return 2;
    case 2:
        return 4;
    case 4:
        return 16;
    case 8:
        return 256;
    case 24:
        return static_cast<int32_t>(0xFF000000u);
    default:
        return bitDepth < 24 ? 0xFFFF00 : -1;
    }
}

int32_t c32bppDIB::SourceIconSizes(std::vector<std::array<int32_t, 4>>& sizeArray) const {
    if (!dib_) return 0;
    switch (imageType_) {
    case imgIcon:
    case imgCursor:
    case imgIconAlpha:
    case imgIconPNG:
    case imgCursorAlpha:
        break;
    default:
        return 0;
    }
    if (originalFormat_.empty()) {
        sizeArray = {{width_, height_, 32, -1}};
        return 1;
    }
    cICOparser ico;
    if (!ico.LoadStream(originalFormat_, 32, 32, nullptr, 0, 0, 32, gdiToken_)) return 0;
    const int32_t n = ico.IconCount();
    sizeArray.clear();
    for (int32_t i = 1; i <= n; ++i)
        sizeArray.push_back(
            {ico.Width(i), ico.Height(i), ico.bitDepth(i), IconColorCount(ico.bitDepth(i))});
    return n;
}

} // namespace moirelle
