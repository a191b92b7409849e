#pragma once
// Shared pieces of the GDI+ bridge tests: pixels in picture coordinates, a drawing
// surface, and the two token routes (the caller's running session, or token 0).

#include "dib/win/c32bppDIB.h"
#include "gdiplus/GdiplusFlat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace moirelle::test {

struct Bgra {
    uint8_t b = 0, g = 0, r = 0, a = 0;
    bool operator==(const Bgra&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Bgra& p);

// The premultiplied pixel of a straight colour, as the library's readers store it.
Bgra Premultiplied(uint8_t r, uint8_t g, uint8_t b, uint8_t a);
inline Bgra Opaque(uint8_t r, uint8_t g, uint8_t b) {
    return {b, g, r, 255};
}
// Every channel within tolerance.
bool Near(const Bgra& x, const Bgra& y, int tolerance);

// Picture coordinates: (0, 0) is the top-left pixel.
Bgra PixelAt(const c32bppDIB& dib, int32_t x, int32_t y);
void SetPixel(c32bppDIB& dib, int32_t x, int32_t y, Bgra p);
// Fills [x0, x1) x [y0, y1).
void FillRect(c32bppDIB& dib, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Bgra p);

// An image of four solid quadrants: red top-left, green top-right, blue bottom-left,
// white bottom-right.
void MakeQuadrants(c32bppDIB& dib, int32_t width, int32_t height);
inline const Bgra kRed = Opaque(255, 0, 0), kGreen = Opaque(0, 255, 0), kBlue = Opaque(0, 0, 255),
                  kWhite = Opaque(255, 255, 255), kBlack = Opaque(0, 0, 0);

// A DIB to draw on, filled with one colour and selected into its device context.
class Canvas {
  public:
    Canvas(int32_t width, int32_t height, Bgra fill);
    ~Canvas();
    HDC dc() const { return dc_; }
    c32bppDIB& dib() { return dib_; }
    Bgra At(int32_t x, int32_t y) const { return PixelAt(dib_, x, y); }
    // The bounding box of the pixels that differ from the fill colour; false when none do.
    bool ChangedBounds(RECT& box) const;

  private:
    c32bppDIB dib_;
    Bgra fill_;
    HDC dc_ = nullptr;
};

// Points the bridge at another library name for the scope (an unknown name makes GDI+
// unavailable), then back to the system's.
class ScopedGdiplusLibrary {
  public:
    explicit ScopedGdiplusLibrary(std::string name) {
        gdip::SetGdiplusLibraryName(std::move(name));
    }
    ~ScopedGdiplusLibrary() { gdip::SetGdiplusLibraryName(gdip::DefaultGdiplusLibraryName()); }
    ScopedGdiplusLibrary(const ScopedGdiplusLibrary&) = delete;
    ScopedGdiplusLibrary& operator=(const ScopedGdiplusLibrary&) = delete;
};

// Runs each test once with a session the test holds (its token handed to the bridge) and
// once with token 0 (the bridge starts and stops GDI+ itself).
class TokenRoutes : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override;
    void TearDown() override;
    uintptr_t token() const { return token_; }

  private:
    uintptr_t token_ = 0;
};
std::string TokenRouteName(const ::testing::TestParamInfo<bool>& info);

// A fresh folder for this program's files (wide, for the bridge) and file helpers.
std::wstring TempFolder();
std::vector<uint8_t> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::wstring& path);

} // namespace moirelle::test
