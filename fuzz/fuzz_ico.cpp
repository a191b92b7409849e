// Fuzz target: the icon and cursor reader into a memory image. The first byte picks the
// wanted size and depth, so that every entry can be chosen.
#include "dib/MemoryImage.h"
#include "formats/cICOparser.h"
#include "fuzz/FuzzChecks.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const int32_t sizes[4] = {0, 16, 48, 256};
    static const int32_t depths[4] = {32, 8, 4, 24};
    const int32_t wanted = sizes[data[0] & 3];
    const int32_t depth = depths[(data[0] >> 2) & 3];
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    moirelle::MemoryImage image;
    moirelle::cICOparser parser;
    parser.LoadStream(bytes, wanted, wanted, &image, 0, bytes.size(), depth, 0);
    moirelle::fuzz::CheckPremultiplied(image);
    // The properties of every entry must be readable.
    for (int32_t i = 0; i <= parser.IconCount() + 1; ++i) {
        (void)parser.Width(i);
        (void)parser.ColorCount(i);
        (void)parser.ColorByteOffset(i);
    }
    return 0;
}
