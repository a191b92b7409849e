// Every frame of the GIF conformance suite (../shared/corpus/gif-suite) against its expected
// pixels, with its delay, and every file's loop count. The suite folds images that follow
// one another without a delay into one expected frame, except in files it marks as
// "force-animation", where browsers show every image; we show every image, so an expected
// frame is compared with the screen after the last image of its fold.
#include "dib/MemoryImage.h"
#include "formats/GifAnimation.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace moirelle {
namespace {

using Bytes = std::vector<uint8_t>;
using Conf = std::map<std::string, std::map<std::string, std::string>>;

Bytes ReadBytes(const std::string& path) {
    std::string s;
    if (!test::ReadFile(path, s)) return {};
    return Bytes(s.begin(), s.end());
}

std::string Trim(std::string s) {
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t\r") + 1);
    return s;
}

Conf ReadConf(const std::string& path) {
    Conf sections;
    std::ifstream in(path);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            sections[section][Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
    }
    return sections;
}

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> out;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ','))
        if (!Trim(item).empty()) out.push_back(Trim(item));
    return out;
}

// Differences between our screen (premultiplied, alpha 0 or 255 here) and straight RGBA.
int Mismatches(const MemoryImage& screen, const Bytes& rgba) {
    int bad = 0;
    for (int32_t y = 0; y < screen.Height(); ++y)
        for (int32_t x = 0; x < screen.Width(); ++x) {
            const uint8_t* e = &rgba[(static_cast<size_t>(y) * screen.Width() + x) * 4];
            const uint32_t expected = e[3] == 0 ? 0
                                                : (uint32_t{e[3]} << 24) | (uint32_t{e[0]} << 16) |
                                                      (uint32_t{e[1]} << 8) | e[2];
            bad += screen.PixelAt(x, y) != expected;
        }
    return bad;
}

TEST(GifSuiteAnimation, EveryFrameDelayAndLoopCount) {
    const std::string root = test::CorpusDir();
    const std::string suite = root.empty() ? root : test::JoinPath(root, "gif-suite");
    if (suite.empty() || !std::filesystem::is_directory(suite))
        GTEST_SKIP() << "conformance corpus gif-suite not found (../shared/corpus)";
    std::ifstream list(test::JoinPath(suite, "TESTS"));
    std::string name;
    int frameFiles = 0, framesCompared = 0;
    while (list >> name) {
        SCOPED_TRACE(name);
        Conf conf = ReadConf(test::JoinPath(suite, name + ".conf"));
        const Bytes gif = ReadBytes(test::JoinPath(suite, conf["config"]["input"]));
        const std::vector<std::string> frames = Split(conf["config"]["frames"]);
        for (const bool whole : {true, false}) {
            SCOPED_TRACE(whole ? "frames in one piece" : "frames row by row");
            GifAnimation animation;
            animation.AllowWholeFrames(whole);
            const bool opened = animation.Open(gif);
            // The suite shows no frame for the plain-text extension's file; browsers skip the
            // extension and show the image after it, and so do we.
            if (name == "plain-text") {
                EXPECT_TRUE(opened);
                continue;
            }
            if (frames.empty()) {
                EXPECT_FALSE(opened) << "the suite expects no frame";
                continue;
            }
            ++frameFiles;
            const std::string loop = conf["config"]["loop-count"];
            MemoryImage screen;
            if (!opened) {
                // A file without any image: the suite shows its empty screen, which is what a
                // player shows when it has nothing to play.
                ASSERT_EQ(frames.size(), 1u);
                const Bytes rgba = ReadBytes(test::JoinPath(suite, conf[frames[0]]["pixels"]));
                EXPECT_TRUE(
                    std::all_of(rgba.begin(), rgba.end(), [](uint8_t b) { return b == 0; }));
                EXPECT_EQ(animation.Fault(), GifAnimationFault::NoWholeFrame);
                continue;
            }
            EXPECT_EQ(animation.ScreenWidth(), std::stoi(conf["config"]["width"]));
            EXPECT_EQ(animation.ScreenHeight(), std::stoi(conf["config"]["height"]));
            // The suite loops its GIF87a-style animation (no loop extension) for ever; a file
            // without the extension is played once, as browsers play it.
            if (name == "gif87a-animation") {
                EXPECT_EQ(animation.LoopCount(), 0);
            } else {
                EXPECT_EQ(animation.LoopCount(),
                          loop == "infinite" ? GifAnimation::kLoopForever : std::stoi(loop));
            }
            const bool everyImage = conf["config"]["force-animation"] == "yes";
            ASSERT_TRUE(animation.Rewind(screen));
            size_t expected = 0;
            while (animation.NextFrame(screen)) {
                const bool last = animation.FrameIndex() + 1 == animation.FrameCount();
                if (!everyImage && animation.Frame().delay == 0 && !last) continue; // folded
                ASSERT_LT(expected, frames.size()) << "more frames than the suite shows";
                auto& f = conf[frames[expected]];
                const Bytes rgba = ReadBytes(test::JoinPath(suite, f["pixels"]));
                ASSERT_EQ(rgba.size(), static_cast<size_t>(screen.Width()) * screen.Height() * 4);
                EXPECT_EQ(Mismatches(screen, rgba), 0) << frames[expected];
                if (f.count("delay")) {
                    EXPECT_EQ(animation.Frame().delay, std::stoi(f["delay"]));
                }
                ++expected;
                ++framesCompared;
            }
            EXPECT_EQ(expected, frames.size());
            EXPECT_EQ(animation.FrameIndex() + 1, animation.FrameCount());
        }
    }
    EXPECT_GT(frameFiles, 2 * 50);
    EXPECT_GT(framesCompared, 2 * 80);
}

} // namespace
} // namespace moirelle
