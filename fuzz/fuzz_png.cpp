// Fuzz target: the PNG reader's stream path into a memory image. The first byte chooses
// the zlib route (odd) or the built-in inflater without CRC checks (even).
//
// Pictures above 4 Mpixels are refused by the target image: a tiny file may legitimately
// ask for up to 64 Mpixels, and filling those would only slow the search down.
#include "dib/MemoryImage.h"
#include "formats/ZlibAccess.h"
#include "formats/cPNGparser.h"
#include "tests/support/WrappedImage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace {

class BudgetImage final : public moirelle::test::WrappedImage {
  public:
    bool InitializeDIB(int32_t Width, int32_t Height) override {
        if (static_cast<int64_t>(Width) * Height > (int64_t{1} << 22) || Height < -(1 << 22)) {
            image.DestroyDIB();
            return false;
        }
        return image.InitializeDIB(Width, Height);
    }
    std::unique_ptr<moirelle::IImageTarget> NewSameKind() const override {
        return std::make_unique<BudgetImage>();
    }
    bool TakePixels(moirelle::IImageTarget& from) override {
        auto* other = dynamic_cast<BudgetImage*>(&from);
        return other && image.TakePixels(other->image);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const moirelle::ZlibLibraryNames withZlib = moirelle::DefaultZlibLibraryNames();
    moirelle::SetZlibLibraryNames((data[0] & 1) ? withZlib : moirelle::ZlibLibraryNames{"", ""});
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    BudgetImage target;
    moirelle::cPNGparser parser;
    parser.LoadStream(bytes, target, 0, bytes.size(), 0);
    const moirelle::MemoryImage& image = target.image;
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
