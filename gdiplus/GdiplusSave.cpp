// The PNG encoder: a c32bppDIB written as a PNG file or into a byte array.

#include "dib/win/c32bppDIB.h"
#include "gdiplus/DibBitmap.h"
#include "gdiplus/GdiplusEncoders.h"
#include "gdiplus/GdiplusSession.h"
#include "gdiplus/GdiplusStreams.h"
#include "gdiplus/cGDIPlus.h"

namespace moirelle {

bool cGDIPlus::SaveToPNG(const std::wstring& FileName, std::vector<uint8_t>& outStream,
                         const c32bppDIB& cHost, uintptr_t GlobalToken) {
    if (!cHost.Handle()) return false;
    const gdip::TokenScope session(GlobalToken);
    if (!session) return false;
    const gdip::Api& api = *session.api();

    const gdip::UniqueImage bitmap = gdip::BitmapOverDib(api, cHost);
    if (!bitmap) return false;
    CLSID encoder{};
    if (gdip::FindEncoder(api, L"image/png", encoder) < 0) return false;

    if (!FileName.empty()) {
        return api.GdipSaveImageToFile(bitmap.get(), FileName.c_str(), &encoder, nullptr) ==
               gdip::statusOk;
    }
    outStream.clear();
    const win::ComPtr<IStream> stream = gdip::ArrayToStream({});
    if (!stream ||
        api.GdipSaveImageToStream(bitmap.get(), stream.Get(), &encoder, nullptr) != gdip::statusOk)
        return false;
    return gdip::StreamToArray(stream.Get(), outStream);
}

} // namespace moirelle
