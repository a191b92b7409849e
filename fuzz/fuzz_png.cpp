// Fuzz target: the PNG reader's stream path into a memory image. The first byte chooses
// the zlib route (odd) or the built-in inflater without CRC checks (even).
#include "dib/MemoryImage.h"
#include "formats/ZlibAccess.h"
#include "formats/cPNGparser.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const moirelle::ZlibLibraryNames withZlib = moirelle::DefaultZlibLibraryNames();
    moirelle::SetZlibLibraryNames((data[0] & 1) ? withZlib : moirelle::ZlibLibraryNames{"", ""});
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    moirelle::MemoryImage image;
    moirelle::cPNGparser parser;
    parser.LoadStream(bytes, image, 0, bytes.size(), 0);
    if (image.BitsPointer()) {
        // Every stored pixel must be premultiplied.
        const uint8_t* p = image.BitsPointer();
        const size_t count =
            static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height());
        for (size_t i = 0; i < count; ++i, p += 4)
            if (p[0] > p[3] || p[1] > p[3] || p[2] > p[3]) __builtin_trap();
    }
    return 0;
}
