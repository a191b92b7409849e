// The row-by-row LZW decoder on code streams written by hand: what it hands out row by row,
// how many indices it counts, and the streams it refuses.
#include "formats/GifLzwRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace moirelle::gif {
namespace {

// Codes of fixed widths, packed least significant bit first into one sub-block chain.
std::vector<uint8_t> Chain(const std::vector<std::pair<uint32_t, int>>& codes) {
    std::vector<uint8_t> data;
    uint32_t bits = 0;
    int count = 0;
    for (auto [code, width] : codes) {
        bits |= code << count;
        count += width;
        while (count >= 8) {
            data.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count > 0) data.push_back(static_cast<uint8_t>(bits));
    std::vector<uint8_t> chain;
    chain.push_back(static_cast<uint8_t>(data.size()));
    for (uint8_t b : data)
        chain.push_back(b);
    chain.push_back(0);
    return chain;
}

struct Rows : IRowSink {
    std::string seen; // "row:indices;" for every row handed out
    void Row(int32_t storedRow, const uint8_t* indices, int32_t count) override {
        seen += std::to_string(storedRow) + ":";
        for (int32_t i = 0; i < count; ++i)
            seen += static_cast<char>('0' + indices[i]);
        seen += ";";
    }
};

TEST(GifLzwRows, RowsCountsAndRefusals) {
    // Minimum code size 2: clear 4, end 5, the first new entry 6; codes of 3 bits until
    // entry 7 is made, then 4.
    const struct {
        const char* what;
        std::vector<std::pair<uint32_t, int>> codes;
        uint32_t colours;
        int32_t width, height;
        bool valid;
        uint64_t produced;
        const char* rows;
    } cases[] = {
        {"literals and a string across rows",
         {{4, 3}, {1, 3}, {2, 3}, {6, 3}, {5, 4}},
         4,
         2,
         2,
         true,
         4,
         "0:12;1:12;"},
        {"no clear code first: entries start after the end code",
         {{1, 3}, {2, 3}, {6, 3}, {5, 4}},
         4,
         4,
         1,
         true,
         4,
         "0:1212;"},
        {"the code being defined (previous string and its own first index)",
         {{4, 3}, {3, 3}, {6, 3}, {5, 4}},
         4,
         3,
         1,
         true,
         3,
         "0:333;"},
        {"codes end early: the last row is short",
         {{4, 3}, {1, 3}, {2, 3}, {5, 3}},
         4,
         3,
         2,
         true,
         2,
         "0:12;"},
        {"surplus indices are dropped",
         {{4, 3}, {1, 3}, {2, 3}, {6, 3}, {5, 4}},
         4,
         3,
         1,
         true,
         3,
         "0:121;"},
        {"a code beyond the table", {{4, 3}, {1, 3}, {7, 3}}, 4, 4, 1, false, 0, "0:1;"},
        {"a literal beyond the colours", {{4, 3}, {1, 3}, {3, 3}}, 3, 4, 1, false, 0, "0:1;"},
        {"a string code straight after a clear", {{4, 3}, {6, 3}}, 4, 4, 1, false, 0, ""},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> chain = Chain(c.codes);
        LzwRowDecoder decoder;
        Rows rows;
        const LzwRowsResult r = decoder.Decode(chain, 0, 2, c.colours, c.width, c.height, &rows);
        EXPECT_EQ(r.valid, c.valid) << c.what;
        if (c.valid) {
            EXPECT_EQ(r.produced, c.produced) << c.what;
            EXPECT_EQ(rows.seen, c.rows) << c.what;
        }
        // Checked without a sink, the verdict and the count are the same.
        const LzwRowsResult checked =
            decoder.Decode(chain, 0, 2, c.colours, c.width, c.height, nullptr);
        EXPECT_EQ(checked.valid, c.valid) << c.what;
        EXPECT_EQ(checked.produced, r.produced) << c.what;
    }
}

TEST(GifLzwRows, TheCodesEndWithTheirChain) {
    // No end code: the chain's terminator ends the codes; the blocks after it are not read.
    // The 9 bits of clear, 1 and 2 leave 7 zero bits in the second byte: a literal 0 of 3
    // bits, which makes entry 7 and so widens the codes, and a literal 0 of 4 bits.
    std::vector<uint8_t> chain = Chain({{4, 3}, {1, 3}, {2, 3}});
    for (uint8_t b : {0x2C, 0x93, 0xFF, 0x3B})
        chain.push_back(b);
    LzwRowDecoder decoder;
    Rows rows;
    const LzwRowsResult r = decoder.Decode(chain, 0, 2, 4, 8, 1, &rows);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.produced, 4u);
    EXPECT_EQ(rows.seen, "0:1200;");
}

TEST(GifLzwRows, TheRowBufferHoldsOneRowOfTheWidestImageAndTheLongestString) {
    // Ever wider images through one decoder: the buffer is the widest row plus 4096, not
    // what doubling a growing buffer would leave.
    const std::vector<uint8_t> chain = Chain({{4, 3}, {1, 3}, {5, 3}});
    LzwRowDecoder decoder;
    Rows rows;
    size_t widest = 0;
    for (int32_t width : {1, 30000, 40000, 65535, 20000}) {
        ASSERT_TRUE(decoder.Decode(chain, 0, 2, 4, width, 2, &rows).valid);
        widest = std::max(widest, static_cast<size_t>(width));
        EXPECT_EQ(decoder.RowCapacity(), widest + 4096) << width;
    }
}

TEST(GifLzwRows, NoIndexBeyondTheLargestTable) {
    // Minimum code size 9 (clear 512): literal 256 has no colour even when the caller
    // names more than 256.
    const std::vector<uint8_t> chain = Chain({{512, 10}, {256, 10}, {513, 10}});
    LzwRowDecoder decoder;
    EXPECT_FALSE(decoder.Decode(chain, 0, 9, 300, 1, 1, nullptr).valid);
    const std::vector<uint8_t> fine = Chain({{512, 10}, {255, 10}, {513, 10}});
    EXPECT_TRUE(decoder.Decode(fine, 0, 9, 300, 1, 1, nullptr).valid);
    EXPECT_FALSE(decoder.Decode(fine, 0, 12, 256, 1, 1, nullptr).valid) << "code size 12";
    EXPECT_FALSE(decoder.Decode(fine, 0, 0, 256, 1, 1, nullptr).valid) << "code size 0";
}

} // namespace
} // namespace moirelle::gif
