#include "tests/portable/inflate/TestData.h"

#include <string>

namespace moirelle::test {
namespace {

void AppendNoise(Bytes& out, size_t n, Random& rng) {
    for (size_t i = 0; i < n; ++i)
        out.push_back(static_cast<uint8_t>(rng.Next() >> 24));
}

void AppendText(Bytes& out, size_t n, Random& rng) {
    static const char* const words[] = {"the ",   "quick ",   "brown ", "fox ",    "jumps ",
                                        "over ",  "lazy ",    "dog ",   "and\n",   "pixels ",
                                        "alpha ", "taskbar ", "skin ",  "window ", "zlib "};
    while (n > 0) {
        const std::string w = words[rng.Below(15)];
        for (size_t i = 0; i < w.size() && n > 0; ++i, --n)
            out.push_back(static_cast<uint8_t>(w[i]));
    }
}

void AppendRuns(Bytes& out, size_t n, Random& rng) {
    while (n > 0) {
        const uint8_t value = static_cast<uint8_t>(rng.Below(4) * 60);
        size_t run = 1 + rng.Below(rng.Below(2) ? 400 : 12);
        for (; run > 0 && n > 0; --run, --n)
            out.push_back(value);
    }
}

// Filtered-looking RGBA rows: a filter byte, then small differences with some noise.
void AppendImageRows(Bytes& out, size_t n, Random& rng) {
    const size_t stride = 1 + 4 * (16 + rng.Below(200));
    size_t column = 0;
    while (n > 0) {
        if (column == 0)
            out.push_back(static_cast<uint8_t>(rng.Below(5)));
        else
            out.push_back(
                static_cast<uint8_t>(rng.Below(3) == 0 ? rng.Next() >> 40 : rng.Below(5)));
        column = (column + 1) % stride;
        --n;
    }
}

} // namespace

Bytes MakeData(DataKind kind, size_t size, uint64_t seed) {
    Random rng(seed);
    Bytes out;
    out.reserve(size);
    switch (kind) {
    case DataKind::Noise:
        AppendNoise(out, size, rng);
        break;
    case DataKind::Text:
        AppendText(out, size, rng);
        break;
    case DataKind::Runs:
        AppendRuns(out, size, rng);
        break;
    case DataKind::ImageRows:
        AppendImageRows(out, size, rng);
        break;
    case DataKind::Zeros:
        out.assign(size, 0);
        break;
    case DataKind::Mixed:
        while (out.size() < size) {
            const size_t part = std::min<size_t>(size - out.size(), 1 + rng.Below(5000));
            switch (rng.Below(4)) {
            case 0:
                AppendNoise(out, part, rng);
                break;
            case 1:
                AppendText(out, part, rng);
                break;
            case 2:
                AppendRuns(out, part, rng);
                break;
            default:
                AppendImageRows(out, part, rng);
                break;
            }
        }
        break;
    }
    return out;
}

} // namespace moirelle::test
