#pragma once
// Writes GIF files block by block for the animation tests: a screen with its colour table,
// loop and control extensions, and images whose indices are coded as LZW literals (the
// code width following the table as a decoder grows it). Remembers where every block
// starts and where every image's block ends.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace moirelle::test {

using Bytes = std::vector<uint8_t>;

class GifBuilder {
  public:
    // `colours` as 0xRRGGBB; the table is padded to a power of two (at least 2 entries).
    GifBuilder(int width, int height, const std::vector<uint32_t>& colours);

    GifBuilder& Loop(uint16_t count, const char* id = "NETSCAPE2.0");
    GifBuilder& Control(int disposal, uint16_t delay, int transparentIndex = -1);
    // Indices in picture order, top row first; fewer than width x height leaves the rest
    // uncoded (the end code follows the last one given).
    GifBuilder& Image(int left, int top, int width, int height, const std::vector<uint8_t>& indices,
                      const std::vector<uint32_t>& localColours = {}, bool interlaced = false);
    GifBuilder& Comment(const std::string& text);
    GifBuilder& Raw(const Bytes& bytes);
    Bytes Finish(); // appends the trailer

    const std::vector<size_t>& BlockStarts() const { return blockStarts_; }
    const std::vector<size_t>& ImageEnds() const { return imageEnds_; }

  private:
    void Table(const std::vector<uint32_t>& colours, int sizeField);
    void SubBlocks(const Bytes& data);

    Bytes bytes_;
    int globalBits_ = 1;
    std::vector<size_t> blockStarts_;
    std::vector<size_t> imageEnds_;
};

// Indices from a row picture: each character is the index '0'..'9'.
std::vector<uint8_t> Indices(const std::string& digits);

} // namespace moirelle::test
