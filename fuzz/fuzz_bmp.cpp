// Fuzz target: the bitmap reader's direct path (32-bit BMP) into a memory image.
#include "dib/MemoryImage.h"
#include "formats/cBMPparser.h"
#include "fuzz/FuzzChecks.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    moirelle::MemoryImage image;
    moirelle::cBMPparser().LoadStream(bytes, image, 0, bytes.size());
    moirelle::fuzz::CheckPremultiplied(image);
    return 0;
}
