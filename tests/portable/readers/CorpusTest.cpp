// The readers against the shared conformance corpora: the BMP suite (good files must
// match the reference renderings, bad ones must be refused cleanly) and the GIF suite
// (our reader takes the first image, compared with the first expected frame).
#include "dib/ImageType.h"
#include "dib/MemoryImage.h"
#include "formats/cBMPparser.h"
#include "formats/cGIFparser.h"
#include "formats/cPNGparser.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace moirelle {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string Corpus(const std::string& sub) {
    const std::string root = test::CorpusDir();
    if (root.empty()) return {};
    const std::string dir = test::JoinPath(root, sub);
    return fs::is_directory(dir) ? dir : std::string();
}

Bytes ReadBytes(const std::string& path) {
    std::string s;
    if (!test::ReadFile(path, s)) return {};
    return Bytes(s.begin(), s.end());
}

// Straight RGBA rows, top row first, of a reference PNG (through our PNG reader).
bool ReadReference(const std::string& path, int32_t& w, int32_t& h, Bytes& rgba) {
    const Bytes png = ReadBytes(path);
    MemoryImage ref;
    if (!cPNGparser().LoadStream(png, ref, 0, png.size(), 0) || !ref.BitsPointer()) return false;
    w = ref.Width();
    h = ref.Height();
    rgba.clear();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = ref.PixelAt(x, y);
            rgba.insert(rgba.end(),
                        {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
        }
    return true;
}

// Largest channel difference between our pixel (premultiplied) and a straight RGBA one,
// colours compared only where the pixel is visible.
int Difference(uint32_t ours, const uint8_t* rgba) {
    const int a = static_cast<int>(ours >> 24);
    int d = std::abs(a - rgba[3]);
    if (rgba[3] == 0 && a == 0) return 0;
    const int expected[3] = {rgba[0] * rgba[3] / 255, rgba[1] * rgba[3] / 255,
                             rgba[2] * rgba[3] / 255};
    const int got[3] = {static_cast<int>((ours >> 16) & 255), static_cast<int>((ours >> 8) & 255),
                        static_cast<int>(ours & 255)};
    for (int c = 0; c < 3; ++c)
        d = std::max(d, std::abs(expected[c] - got[c]));
    return d;
}

// --- BMP suite ----------------------------------------------------------------------------

// Reference rendering named for each good file in the suite's page.
std::map<std::string, std::string> BmpReferences(const std::string& suite) {
    std::map<std::string, std::string> refs;
    std::string html;
    if (!test::ReadFile(test::JoinPath(test::JoinPath(suite, "html"), "bmpsuite.html"), html))
        return refs;
    size_t pos = 0;
    while ((pos = html.find("<td>g/", pos)) != std::string::npos) {
        const size_t nameEnd = html.find("</td>", pos);
        const std::string name = html.substr(pos + 6, nameEnd - pos - 6);
        const size_t img = html.find("<img src=\"", nameEnd);
        const size_t end = html.find('"', img + 10);
        refs[name] = html.substr(img + 10, end - img - 10);
        pos = nameEnd;
    }
    return refs;
}

[[maybe_unused]] bool IsDirect32(const Bytes& b) {
    return b.size() >= 34 && b[0] == 'B' && b[1] == 'M' && b[28] == 32 && b[29] == 0 &&
           b[30] == 0 && b[31] == 0 && b[32] == 0 && b[33] == 0;
}

TEST(BmpSuite, GoodFilesMatchTheirReferences) {
    const std::string suite = Corpus("bmpsuite");
    if (suite.empty()) GTEST_SKIP() << "conformance corpus bmpsuite not found (../shared/corpus)";
    const auto refs = BmpReferences(suite);
    ASSERT_FALSE(refs.empty());
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(test::JoinPath(suite, "g"))) {
        const std::string name = entry.path().filename().string();
        const Bytes bmp = ReadBytes(entry.path().string());
        MemoryImage dib;
        cBMPparser reader;
#ifdef _WIN32
        reader.UseSystemPictureLoader();
#endif
        const bool loaded = reader.LoadStream(bmp, dib, 0, 0);
#ifndef _WIN32
        if (!IsDirect32(bmp)) {
            EXPECT_FALSE(loaded) << name << ": only 32-bit files are read without a picture loader";
            continue;
        }
#endif
        ASSERT_TRUE(loaded) << name;
        const auto ref = refs.find(name);
        ASSERT_NE(ref, refs.end()) << name;
        std::string refName = ref->second;
        int32_t w = 0, h = 0;
        Bytes rgba;
        ASSERT_TRUE(
            ReadReference(test::JoinPath(test::JoinPath(suite, "html"), refName), w, h, rgba))
            << refName;
        if (w != dib.Width() || h != dib.Height()) {
            // Files whose reference is drawn at another aspect: the variant of our size.
            bool found = false;
            const std::string stem = refName.substr(0, refName.find_first_of("-."));
            for (const char* suffix : {"-e.png", "-v.png"})
                if (ReadReference(test::JoinPath(test::JoinPath(suite, "html"), stem + suffix), w,
                                  h, rgba) &&
                    w == dib.Width() && h == dib.Height()) {
                    found = true;
                    break;
                }
            ASSERT_TRUE(found) << name << ": " << dib.Width() << " x " << dib.Height();
        }
        int worst = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                worst = std::max(worst, Difference(dib.PixelAt(x, y),
                                                   &rgba[(static_cast<size_t>(y) * w + x) * 4]));
        // 16-bit files allow for the two usual ways of widening 5 and 6 bits to 8 (by
        // shifts and replication, or by scaling with rounding), which differ by at most 1.
        const bool sixteenBits = bmp.size() > 29 && bmp[28] == 16 && bmp[29] == 0;
        EXPECT_LE(worst, sixteenBits ? 1 : 0) << name;
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

TEST(BmpSuite, BadAndQuestionableFilesAreHandledCleanly) {
    const std::string suite = Corpus("bmpsuite");
    if (suite.empty()) GTEST_SKIP() << "conformance corpus bmpsuite not found (../shared/corpus)";
    for (const char* folder : {"b", "q", "x"}) {
        const std::string dir = test::JoinPath(suite, folder);
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const Bytes bmp = ReadBytes(entry.path().string());
            MemoryImage dib;
            cBMPparser reader;
#ifdef _WIN32
            reader.UseSystemPictureLoader();
#endif
            const bool loaded = reader.LoadStream(bmp, dib, 0, 0);
            if (loaded) {
                ASSERT_NE(dib.BitsPointer(), nullptr) << entry.path();
                // Whatever loads stays within what the file could describe.
                EXPECT_LE(static_cast<int64_t>(dib.Width()) * dib.Height(), 64 * 1024 * 1024)
                    << entry.path();
            }
            // b/badfilesize.bmp is g/pal1.bmp with a file-size field of 2 GB: every pixel is
            // there and the field is not trusted, so it may load (see the next test).
            if (std::string(folder) == "b" && entry.path().filename() != "badfilesize.bmp") {
                EXPECT_FALSE(loaded) << entry.path();
            }
        }
    }
}

// Files whose only faults are a file-size field that does not match the data or an OS/2
// palette shorter than the depth's: the system's picture loader reads them, and so do we.
TEST(BmpSuite, WrongSizeFieldsAndShortOs2PalettesLoad) {
#ifndef _WIN32
    GTEST_SKIP() << "these files are not 32-bit: only the system's picture loader reads them";
#else
    const std::string suite = Corpus("bmpsuite");
    if (suite.empty()) GTEST_SKIP() << "conformance corpus bmpsuite not found (../shared/corpus)";
    Bytes rgb24 = ReadBytes(test::JoinPath(suite, "g/rgb24.bmp"));
    ASSERT_GT(rgb24.size(), 6u);
    const uint32_t oneTooMany = static_cast<uint32_t>(rgb24.size() + 1);
    std::memcpy(&rgb24[2], &oneTooMany, 4);
    const struct {
        std::string what;
        Bytes bmp;
        const char* reference;
    } cases[] = {
        {"g/rgb24.bmp, size field one byte too large", rgb24, "rgb24.png"},
        {"b/badfilesize.bmp", ReadBytes(test::JoinPath(suite, "b/badfilesize.bmp")), "pal1.png"},
        {"q/pal8os2sp.bmp", ReadBytes(test::JoinPath(suite, "q/pal8os2sp.bmp")), "pal8.png"},
        {"q/pal8os2-sz.bmp", ReadBytes(test::JoinPath(suite, "q/pal8os2-sz.bmp")), "pal8.png"},
    };
    for (const auto& c : cases) {
        MemoryImage dib;
        cBMPparser reader;
        reader.UseSystemPictureLoader();
        ASSERT_TRUE(reader.LoadStream(c.bmp, dib, 0, 0)) << c.what;
        int32_t w = 0, h = 0;
        Bytes rgba;
        ASSERT_TRUE(
            ReadReference(test::JoinPath(test::JoinPath(suite, "html"), c.reference), w, h, rgba));
        ASSERT_EQ(dib.Width(), w) << c.what;
        ASSERT_EQ(dib.Height(), h) << c.what;
        int worst = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                worst = std::max(worst, Difference(dib.PixelAt(x, y),
                                                   &rgba[(static_cast<size_t>(y) * w + x) * 4]));
        EXPECT_EQ(worst, 0) << c.what;
    }
#endif
}

// --- GIF suite ----------------------------------------------------------------------------

std::map<std::string, std::map<std::string, std::string>> ReadConf(const std::string& path) {
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::ifstream in(path);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        auto trim = [](std::string s) {
            s.erase(0, s.find_first_not_of(" \t"));
            s.erase(s.find_last_not_of(" \t\r") + 1);
            return s;
        };
        sections[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return sections;
}

struct ImageRect {
    int32_t left, top, width, height;
};

// The image descriptors of a GIF, in order (a rough walk, enough for the suite's files).
std::vector<ImageRect> ImageRects(const Bytes& d) {
    std::vector<ImageRect> rects;
    if (d.size() < 13) return rects;
    size_t pos = 13;
    if (d[10] & 0x80) pos += 3u * (2u << (d[10] & 7));
    auto skip = [&](size_t p) {
        while (p < d.size() && d[p] != 0)
            p += d[p] + 1u;
        return p + 1;
    };
    while (pos < d.size()) {
        if (d[pos] == 0x2C && pos + 10 <= d.size()) {
            auto r16 = [&](size_t at) { return static_cast<int32_t>(d[at] | (d[at + 1] << 8)); };
            rects.push_back({r16(pos + 1), r16(pos + 3), r16(pos + 5), r16(pos + 7)});
            const uint8_t packed = d[pos + 9];
            pos += 10;
            if (packed & 0x80) pos += 3u * (2u << (packed & 7));
            pos = skip(pos + 1);
        } else if (d[pos] == 0x21) {
            pos = skip(pos + 2);
        } else {
            break;
        }
    }
    return rects;
}

TEST(GifSuite, FirstFramesMatchAndFramelessFilesAreRefused) {
    const std::string suite = Corpus("gif-suite");
    if (suite.empty()) GTEST_SKIP() << "conformance corpus gif-suite not found (../shared/corpus)";
    std::ifstream list(test::JoinPath(suite, "TESTS"));
    std::string name;
    int compared = 0;
    while (list >> name) {
        auto conf = ReadConf(test::JoinPath(suite, name + ".conf"));
        const Bytes gif = ReadBytes(test::JoinPath(suite, conf["config"]["input"]));
        MemoryImage dib;
        const bool taken = cGIFparser().LoadStream(gif, dib, 0, 0);
        const bool loaded = taken && dib.BitsPointer() != nullptr;
        const std::string frames = conf["config"]["frames"];
        const std::vector<ImageRect> rects = ImageRects(gif);
        // The plain-text extension's file: the suite shows no frame for the text, while
        // our reader skips the extension and takes the image that follows it.
        if (name == "plain-text") {
            EXPECT_TRUE(loaded) << name;
            continue;
        }
        if (frames.empty() || rects.empty() || rects[0].width == 0 || rects[0].height == 0) {
            EXPECT_FALSE(loaded) << name << ": no first image to show";
            continue;
        }
        ASSERT_TRUE(loaded) << name;
        const ImageRect r = rects[0];
        ASSERT_EQ(dib.Width(), r.width) << name;
        ASSERT_EQ(dib.Height(), r.height) << name;

        const std::string frame0 = frames.substr(0, frames.find(','));
        const int32_t screenW = std::stoi(conf["config"]["width"]);
        const int32_t screenH = std::stoi(conf["config"]["height"]);
        Bytes rgba;
        int32_t w = screenW, h = screenH;
        if (conf[frame0].count("pixels")) {
            rgba = ReadBytes(test::JoinPath(suite, conf[frame0]["pixels"]));
        } else {
            ASSERT_TRUE(ReadReference(test::JoinPath(suite, conf[frame0]["image"]), w, h, rgba))
                << name;
        }
        ASSERT_EQ(rgba.size(), static_cast<size_t>(w) * h * 4) << name;
        // Images that the suite folds into the same first frame cover parts of ours.
        const size_t frameCount =
            static_cast<size_t>(std::count(frames.begin(), frames.end(), ',')) + 1;
        const bool folded = rects.size() > frameCount;
        int mismatches = 0;
        for (int32_t y = 0; y < r.height; ++y)
            for (int32_t x = 0; x < r.width; ++x) {
                const int32_t sx = r.left + x, sy = r.top + y;
                if (sx >= w || sy >= h) continue;
                bool covered = false;
                if (folded)
                    for (size_t k = 1; k < rects.size(); ++k)
                        covered |= sx >= rects[k].left && sx < rects[k].left + rects[k].width &&
                                   sy >= rects[k].top && sy < rects[k].top + rects[k].height;
                if (covered) continue;
                mismatches += Difference(dib.PixelAt(x, y),
                                         &rgba[(static_cast<size_t>(sy) * w + sx) * 4]) != 0;
            }
        EXPECT_EQ(mismatches, 0) << name;
        ++compared;
    }
    EXPECT_GT(compared, 40);
}

} // namespace
} // namespace moirelle
