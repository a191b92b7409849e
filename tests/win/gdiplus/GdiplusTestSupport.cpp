#include "GdiplusTestSupport.h"

#include "gdiplus/GdiplusSession.h"
#include "gdiplus/cGDIPlus.h"
#include "platform/win/Text.h"
#include "tests/support/TestPaths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace moirelle::test {

std::ostream& operator<<(std::ostream& os, const Bgra& p) {
    return os << "(b " << int(p.b) << ", g " << int(p.g) << ", r " << int(p.r) << ", a " << int(p.a)
              << ")";
}

Bgra Premultiplied(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    if (a == 0) return {};
    return {static_cast<uint8_t>(b * a / 255), static_cast<uint8_t>(g * a / 255),
            static_cast<uint8_t>(r * a / 255), a};
}

bool Near(const Bgra& x, const Bgra& y, int tolerance) {
    return std::abs(x.b - y.b) <= tolerance && std::abs(x.g - y.g) <= tolerance &&
           std::abs(x.r - y.r) <= tolerance && std::abs(x.a - y.a) <= tolerance;
}

Bgra PixelAt(const c32bppDIB& dib, int32_t x, int32_t y) {
    GdiFlush();
    const uint8_t* p =
        dib.BitsPointer() + static_cast<size_t>(dib.Height() - 1 - y) * dib.scanWidth() + x * 4;
    return {p[0], p[1], p[2], p[3]};
}

void SetPixel(c32bppDIB& dib, int32_t x, int32_t y, Bgra p) {
    uint8_t* q =
        dib.BitsPointer() + static_cast<size_t>(dib.Height() - 1 - y) * dib.scanWidth() + x * 4;
    q[0] = p.b, q[1] = p.g, q[2] = p.r, q[3] = p.a;
}

void FillRect(c32bppDIB& dib, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Bgra p) {
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x)
            SetPixel(dib, x, y, p);
}

void MakeQuadrants(c32bppDIB& dib, int32_t width, int32_t height) {
    ASSERT_TRUE(dib.InitializeDIB(width, height));
    const int32_t w2 = width / 2, h2 = height / 2;
    FillRect(dib, 0, 0, w2, h2, kRed);
    FillRect(dib, w2, 0, width, h2, kGreen);
    FillRect(dib, 0, h2, w2, height, kBlue);
    FillRect(dib, w2, h2, width, height, kWhite);
}

Canvas::Canvas(int32_t width, int32_t height, Bgra fill) : fill_(fill) {
    EXPECT_TRUE(dib_.InitializeDIB(width, height));
    FillRect(dib_, 0, 0, width, height, fill);
    dc_ = dib_.LoadDIBinDC(true);
    EXPECT_NE(dc_, nullptr);
}

Canvas::~Canvas() {
    dib_.LoadDIBinDC(false);
}

bool Canvas::ChangedBounds(RECT& box) const {
    box = {INT32_MAX, INT32_MAX, -1, -1};
    for (int32_t y = 0; y < dib_.Height(); ++y)
        for (int32_t x = 0; x < dib_.Width(); ++x)
            if (At(x, y) != fill_) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box.right >= 0;
}

void TokenRoutes::SetUp() {
    if (GetParam()) {
        ASSERT_TRUE(cGDIPlus().isGDIplusOk(token_, true));
        ASSERT_NE(token_, 0u);
    }
}

void TokenRoutes::TearDown() {
    if (token_ != 0) gdip::StopGdiplus(*gdip::LoadApi(), token_);
}

std::string TokenRouteName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "CallersToken" : "OwnStartUp";
}

std::wstring TempFolder() {
    static const std::wstring folder = win::Widen(MakeTempDir("gdiplus"));
    return folder;
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace moirelle::test
