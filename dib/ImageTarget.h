#pragma once
// What a reader needs of the image it fills: create a zero-filled 32-bpp image, destroy
// it, reach its pixels and record how its alpha is to be read. The Windows image object
// (c32bppDIB) implements it over a DIB section; MemoryImage implements it in plain memory.
//
// Pixels are 4 bytes B, G, R, A, premultiplied (no colour byte above its alpha), rows
// bottom-up (storage row r is picture row Height - 1 - r), Width * 4 bytes per row.

#include <cstdint>
#include <memory>

namespace moirelle {

class IImageTarget {
  public:
    virtual ~IImageTarget() = default;

    // Replaces any image with a zero-filled Width x |Height| one. False (and empty) for a
    // negative width, a zero height, a byte size beyond 2^31 - 1 or a failed allocation.
    virtual bool InitializeDIB(int32_t Width, int32_t Height) = 0;
    // InitializeDIB for a caller that writes every pixel itself: the pixels need not be
    // zero (an image of the same size may keep its old bytes).
    virtual bool InitializeDIBForOverwrite(int32_t Width, int32_t Height) {
        return InitializeDIB(Width, Height);
    }
    // Frees the image; the type becomes imgNone and the alpha flag false.
    virtual void DestroyDIB() = 0;
    virtual uint8_t* BitsPointer() const = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    // Plain stores, for the library's own readers.
    virtual void SetAlphaFlag(bool value) = 0;
    virtual void SetImageType(int32_t value) = 0;

    // A new, empty image of the same kind and with the same creation rules, for a reader
    // that fills an image beside this one and commits it only when the whole load worked.
    virtual std::unique_ptr<IImageTarget> NewSameKind() const = 0;
    // Replaces this image by the pixels of `from` (made by NewSameKind), as InitializeDIB
    // followed by a copy would, and leaves `from` empty. False, changing nothing, for an
    // image of another kind.
    virtual bool TakePixels(IImageTarget& from) = 0;
};

} // namespace moirelle
