// The row stage gives the same image however the inflated data are handed to it.
#include "formats/PngRows.h"
#include "tests/portable/png/PngTestSupport.h"

#include <algorithm>

namespace moirelle::test {
namespace {

TEST(PngRows, SameImageWhateverPiecesTheDataComeIn) {
    // Rows cut across pieces, whole rows inside a piece (with and without a filter), and
    // pieces that are overwritten as soon as they were taken; read only or unfiltered in
    // place.
    for (uint8_t interlace : {0, 1}) {
        PngSpec spec;
        spec.width = 13;
        spec.height = 11;
        spec.colorType = 2;
        spec.interlace = interlace;
        spec.pixels = PatternBytes(13 * 3 * 11, 7u + interlace);
        const std::vector<uint8_t> raw = RawImageData(spec);
        const auto expected = *ExpectedPixels(SamplesOf(spec));
        png::Header header;
        header.width = 13;
        header.height = 11;
        header.bitDepth = 8;
        header.colorType = 2;
        header.interlace = interlace;
        const png::ConvertTables tables = png::BuildConvertTables(header, {}, {}, -1);
        for (bool writable : {false, true})
            for (size_t piece : {size_t{1}, size_t{2}, size_t{5}, size_t{40}, size_t{41},
                                 size_t{97}, raw.size()}) {
                MemoryImage image;
                ASSERT_TRUE(image.InitializeDIB(13, 11));
                png::RowDecoder rows(header, tables, png::SelectConverter(header, tables),
                                     image.BitsPointer());
                std::vector<uint8_t> scratch;
                for (size_t at = 0; at < raw.size(); at += piece) {
                    scratch.assign(raw.begin() + static_cast<ptrdiff_t>(at),
                                   raw.begin() +
                                       static_cast<ptrdiff_t>(std::min(at + piece, raw.size())));
                    ASSERT_TRUE(writable ? rows.TakeWritable(scratch) : rows.Take(scratch));
                    std::fill(scratch.begin(), scratch.end(), uint8_t{0xA5});
                }
                ASSERT_TRUE(rows.Finish());
                EXPECT_TRUE(SamePixels(image, expected, 13, 11))
                    << "pieces of " << piece << (writable ? ", writable" : "") << ", interlace "
                    << int{interlace};
            }
    }
}

} // namespace
} // namespace moirelle::test
