// Fuzz target: the GIF reader into a memory image.
#include "dib/MemoryImage.h"
#include "formats/cGIFparser.h"
#include "fuzz/FuzzChecks.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    moirelle::MemoryImage image;
    moirelle::cGIFparser().LoadStream(bytes, image, 0, bytes.size());
    moirelle::fuzz::CheckPremultiplied(image);
    return 0;
}
