// Byte arrays to memory streams and back, and the encoder lookup.

#include "GdiplusTestSupport.h"

#include "gdiplus/GdiplusEncoders.h"
#include "gdiplus/GdiplusSession.h"
#include "gdiplus/GdiplusStreams.h"

#include <gtest/gtest.h>

#include <numeric>

namespace moirelle::test {
namespace {

std::vector<uint8_t> ReadAll(IStream* stream) {
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    std::vector<uint8_t> out(4096);
    ULONG read = 0;
    stream->Read(out.data(), static_cast<ULONG>(out.size()), &read);
    out.resize(read);
    return out;
}

TEST(GdiplusStreams, ArrayToStreamCopiesFromTheFirstIndex) {
    std::vector<uint8_t> bytes(300);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    const auto stream = gdip::ArrayToStream(bytes, 0);
    ASSERT_TRUE(stream);
    EXPECT_EQ(ReadAll(stream.Get()), bytes);

    const auto tail = gdip::ArrayToStream(bytes, 290);
    ASSERT_TRUE(tail);
    EXPECT_EQ(ReadAll(tail.Get()), std::vector<uint8_t>(bytes.begin() + 290, bytes.end()));

    // The copy is the stream's own: changing the array later changes nothing.
    bytes[0] = 99;
    EXPECT_EQ(ReadAll(stream.Get())[0], 0);
}

TEST(GdiplusStreams, EmptyArrayGivesAGrowableStream) {
    const auto stream = gdip::ArrayToStream({}, 0);
    ASSERT_TRUE(stream);
    EXPECT_TRUE(ReadAll(stream.Get()).empty());
    const uint8_t data[] = {7, 8, 9};
    ULONG written = 0;
    ASSERT_EQ(stream->Write(data, 3, &written), S_OK);
    EXPECT_EQ(written, 3u);

    std::vector<uint8_t> out{1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(gdip::StreamToArray(stream.Get(), out));
    EXPECT_EQ(out, (std::vector<uint8_t>{7, 8, 9})) << "only the data, not the whole block";

    const auto empty = gdip::ArrayToStream({}, 0);
    EXPECT_FALSE(gdip::StreamToArray(empty.Get(), out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(gdip::StreamToArray(nullptr, out));
}

TEST(GdiplusStreams, StreamToArrayTakesOnlyWhatWasWritten) {
    // A stream over a block larger than the data written into it.
    const auto stream = gdip::ArrayToStream(std::vector<uint8_t>(64, 0xAA), 0);
    ASSERT_TRUE(stream);
    ULARGE_INTEGER size{};
    size.QuadPart = 5;
    ASSERT_EQ(stream->SetSize(size), S_OK);
    std::vector<uint8_t> out;
    ASSERT_TRUE(gdip::StreamToArray(stream.Get(), out));
    EXPECT_EQ(out, std::vector<uint8_t>(5, 0xAA));
}

TEST(GdiplusEncoders, FindsThePngEncoderWithoutRegardToCase) {
    const gdip::TokenScope session(0);
    ASSERT_TRUE(session);
    CLSID png{}, upper{}, none{};
    const int32_t at = gdip::FindEncoder(*session.api(), L"image/png", png);
    EXPECT_GE(at, 1);
    EXPECT_EQ(gdip::FindEncoder(*session.api(), L"IMAGE/PNG", upper), at);
    EXPECT_TRUE(IsEqualCLSID(png, upper));
    CLSID jpeg{};
    const int32_t jpegAt = gdip::FindEncoder(*session.api(), L"image/jpeg", jpeg);
    EXPECT_GE(jpegAt, 1);
    EXPECT_NE(jpegAt, at);
    EXPECT_FALSE(IsEqualCLSID(png, jpeg));
    EXPECT_EQ(gdip::FindEncoder(*session.api(), L"image/x-none", none), -1);
    EXPECT_EQ(gdip::FindEncoder(*session.api(), L"image/pn", none), -1);
}

TEST(GdiplusEncoders, ReadsWideText) {
    EXPECT_EQ(gdip::ReadWideText(nullptr), L"");
    EXPECT_EQ(gdip::ReadWideText(L"image/png"), L"image/png");
}

} // namespace
} // namespace moirelle::test
