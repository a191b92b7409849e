// Frames composited onto the screen, case by case, against screens worked out by hand from
// the rules browsers follow: the screen starts transparent; a frame's opaque pixels replace
// what is under them and its transparent index leaves it; before the next frame, "keep"
// (and an unspecified or unassigned disposal) leaves the frame, "background" clears its
// rectangle to transparent, "previous" puts back what the rectangle held before it; frames
// are clipped to the screen.
#include "dib/MemoryImage.h"
#include "formats/GifAnimation.h"
#include "tests/portable/animation/GifBuilder.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace moirelle {
namespace {

using test::GifBuilder;
using test::Indices;

// Global table: 0 black, 1 red, 2 green, 3 blue.
const std::vector<uint32_t> kColours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

uint32_t Letter(char c) {
    switch (c) {
    case 'K':
        return 0xFF000000u;
    case 'R':
        return 0xFFFF0000u;
    case 'G':
        return 0xFF00FF00u;
    case 'B':
        return 0xFF0000FFu;
    case 'C':
        return 0xFF00FFFFu;
    case 'W':
        return 0xFFFFFFFFu;
    default:
        return 0; // '.': transparent
    }
}

// The screen as rows of letters, top row first, rows parted by '/'.
std::string Screen(const MemoryImage& image) {
    std::string out;
    for (int32_t y = 0; y < image.Height(); ++y) {
        if (y) out += '/';
        for (int32_t x = 0; x < image.Width(); ++x) {
            const uint32_t p = image.PixelAt(x, y);
            char letter = '?';
            for (char c : std::string("KRGBCW."))
                if (Letter(c) == p) letter = c;
            out += letter;
        }
    }
    return out;
}

struct FrameSpec {
    int left, top, width, height;
    const char* indices;
    int disposal;
    uint16_t delay;
    int transparent;
    std::vector<uint32_t> local;
    bool interlaced;
};

struct Case {
    const char* what;
    int width, height;
    std::vector<FrameSpec> frames;
    std::vector<std::string> expected; // the screen after each frame
};

FrameSpec F(int l, int t, int w, int h, const char* idx, int disposal = 1, int transparent = -1) {
    return {l, t, w, h, idx, disposal, 10, transparent, {}, false};
}

const Case kCases[] = {
    {"keep leaves each frame under the next",
     4,
     2,
     {F(0, 0, 4, 2, "1111 1111"), F(1, 0, 2, 1, "22"), F(3, 1, 1, 1, "3")},
     {"RRRR/RRRR", "RGGR/RRRR", "RGGR/RRRB"}},
    {"an unspecified disposal keeps too",
     4,
     2,
     {F(0, 0, 4, 2, "1111 1111", 0), F(1, 0, 2, 1, "22", 0)},
     {"RRRR/RRRR", "RGGR/RRRR"}},
    {"unassigned disposal values keep",
     2,
     1,
     {F(0, 0, 2, 1, "11", 5), F(1, 0, 1, 1, "2", 7)},
     {"RR", "RG"}},
    {"background clears the frame's rectangle to transparent",
     4,
     2,
     {F(0, 0, 4, 2, "1111 1111", 2), F(1, 0, 2, 1, "22", 2), F(0, 1, 1, 1, "3")},
     {"RRRR/RRRR", ".GG./....", "..../B..."}},
    {"previous puts back what the frame covered",
     4,
     2,
     {F(0, 0, 4, 2, "1111 1111"), F(1, 0, 2, 1, "22", 3), F(3, 1, 1, 1, "3")},
     {"RRRR/RRRR", "RGGR/RRRR", "RRRR/RRRB"}},
    {"previous on the first frame goes back to the empty screen",
     2,
     2,
     {F(0, 0, 2, 2, "11 11", 3), F(0, 0, 1, 1, "2")},
     {"RR/RR", "G./.."}},
    {"a transparent frame over a previous one",
     4,
     2,
     {F(0, 0, 4, 2, "1111 1111"), F(0, 0, 4, 2, "2020 0202", 1, 0)},
     {"RRRR/RRRR", "GRGR/RGRG"}},
    {"a transparent index over the empty screen stays transparent",
     3,
     1,
     {F(0, 0, 3, 1, "131", 1, 1)},
     {".B."}},
    {"previous after background",
     4,
     2,
     {F(0, 0, 4, 2, "1111 1111"), F(0, 0, 2, 2, "22 22", 2), F(2, 0, 2, 2, "33 33", 3),
      F(3, 1, 1, 1, "0")},
     {"RRRR/RRRR", "GGRR/GGRR", "..BB/..BB", "..RR/..RK"}},
    {"background after previous",
     3,
     1,
     {F(0, 0, 3, 1, "111"), F(0, 0, 2, 1, "22", 3), F(1, 0, 2, 1, "33", 2), F(0, 0, 1, 1, "0")},
     {"RRR", "GGR", "RBB", "K.."}},
    {"a frame partly outside the screen is clipped",
     4,
     2,
     {F(2, 1, 3, 2, "123 321", 2), F(0, 0, 1, 1, "1")},
     {"..../..RG", "R.../...."}},
    {"a frame wholly outside the screen draws nothing, and its disposal touches nothing",
     2,
     2,
     {F(0, 0, 2, 2, "11 11"), F(5, 0, 2, 2, "22 22", 2), F(0, 4, 1, 1, "3", 3), F(1, 1, 1, 1, "2")},
     {"RR/RR", "RR/RR", "RR/RR", "RR/RG"}},
    {"pixels the codes do not reach leave what is under them",
     4,
     2,
     {F(0, 0, 4, 2, "1111 1111"), F(0, 0, 4, 2, "22222")},
     {"RRRR/RRRR", "GGGG/GRRR"}},
    {"surplus pixels are dropped", 2, 1, {F(0, 0, 1, 1, "2 3 3")}, {"G."}},
    {"a zero-sized frame is a whole frame that draws nothing",
     2,
     1,
     {F(0, 0, 2, 1, "11"), F(0, 0, 0, 0, "")},
     {"RR", "RR"}},
};

TEST(GifCompositing, FramesMatchScreensWorkedOutByHand) {
    for (const bool whole : {true, false})
        for (const Case& c : kCases) {
            SCOPED_TRACE(whole ? "frames in one piece" : "frames row by row");
            SCOPED_TRACE(c.what);
            GifBuilder gif(c.width, c.height, kColours);
            for (const FrameSpec& f : c.frames) {
                gif.Control(f.disposal, f.delay, f.transparent);
                gif.Image(f.left, f.top, f.width, f.height, Indices(f.indices), f.local,
                          f.interlaced);
            }
            const test::Bytes bytes = gif.Finish();
            GifAnimation animation;
            animation.AllowWholeFrames(whole);
            ASSERT_TRUE(animation.Open(bytes));
            ASSERT_EQ(animation.FrameCount(), c.frames.size());
            MemoryImage screen;
            ASSERT_TRUE(animation.Rewind(screen));
            for (size_t i = 0; i < c.expected.size(); ++i) {
                ASSERT_TRUE(animation.NextFrame(screen)) << "frame " << i;
                EXPECT_EQ(animation.FrameIndex(), i);
                EXPECT_EQ(Screen(screen), c.expected[i]) << "frame " << i;
            }
            EXPECT_FALSE(animation.NextFrame(screen)) << "no frame after the last";
            // Played again from the start, the first frame is the same.
            ASSERT_TRUE(animation.Rewind(screen));
            ASSERT_TRUE(animation.NextFrame(screen));
            EXPECT_EQ(Screen(screen), c.expected[0]) << "first frame played again";
        }
}

TEST(GifCompositing, LocalTablesAndInterlacedRows) {
    // Frame 1 brings its own table (cyan, white); frame 2 is interlaced, 1 x 10, rows
    // 0..9 coloured by the picture row, not by the stored order; frame 3 the global
    // table again.
    GifBuilder gif(2, 10, kColours);
    gif.Control(1, 10).Image(0, 0, 2, 10, Indices(std::string(20, '1')));
    gif.Control(1, 10).Image(0, 0, 1, 2, Indices("0 1"), {0x00FFFF, 0xFFFFFF});
    gif.Control(1, 10).Image(1, 0, 1, 10, Indices("0 1 2 3 0 1 2 3 0 1"), {}, true);
    gif.Control(1, 10).Image(0, 9, 1, 1, Indices("3"));
    const test::Bytes bytes = gif.Finish();
    for (const bool whole : {true, false}) {
        SCOPED_TRACE(whole ? "frames in one piece" : "frames row by row");
        GifAnimation animation;
        animation.AllowWholeFrames(whole);
        ASSERT_TRUE(animation.Open(bytes));
        MemoryImage screen;
        ASSERT_TRUE(animation.Rewind(screen));
        ASSERT_TRUE(animation.NextFrame(screen));
        ASSERT_TRUE(animation.NextFrame(screen));
        EXPECT_TRUE(animation.Frame().localTable);
        EXPECT_EQ(Screen(screen), "CR/WR/RR/RR/RR/RR/RR/RR/RR/RR");
        ASSERT_TRUE(animation.NextFrame(screen));
        EXPECT_TRUE(animation.Frame().interlaced);
        EXPECT_EQ(Screen(screen), "CK/WR/RG/RB/RK/RR/RG/RB/RK/RR");
        ASSERT_TRUE(animation.NextFrame(screen));
        EXPECT_FALSE(animation.Frame().localTable);
        EXPECT_EQ(Screen(screen), "CK/WR/RG/RB/RK/RR/RG/RB/RK/BR");
    }
}

TEST(GifCompositing, InterlacedHeightsAroundThePasses) {
    // Every height from 1 to 17: the picture row y holds index y % 4.
    for (int h = 1; h <= 17; ++h) {
        SCOPED_TRACE(h);
        std::string digits, expected;
        for (int y = 0; y < h; ++y) {
            digits += static_cast<char>('0' + y % 4);
            expected += std::string(y ? "/" : "") + "KRGB"[y % 4];
        }
        GifBuilder gif(1, h, kColours);
        gif.Image(0, 0, 1, h, Indices(digits), {}, true);
        const test::Bytes bytes = gif.Finish();
        for (const bool whole : {true, false}) {
            GifAnimation animation;
            animation.AllowWholeFrames(whole);
            MemoryImage screen;
            ASSERT_TRUE(animation.Open(bytes));
            ASSERT_TRUE(animation.Rewind(screen));
            ASSERT_TRUE(animation.NextFrame(screen));
            EXPECT_EQ(Screen(screen), expected) << (whole ? "in one piece" : "row by row");
        }
    }
}

TEST(GifCompositing, DelaysDisposalsAndLoopCounts) {
    GifBuilder gif(1, 1, kColours);
    gif.Loop(3).Control(2, 0, 1).Image(0, 0, 1, 1, Indices("1"));
    gif.Control(3, 250).Image(0, 0, 1, 1, Indices("2"));
    gif.Raw({0x00, 0x00});               // stray padding between blocks is stepped over
    gif.Image(0, 0, 1, 1, Indices("3")); // no control extension: delay 0, nothing special
    gif.Control(6, 7).Image(0, 0, 1, 1, Indices("2"));
    // A control extension too short to hold its fields is stepped over.
    gif.Raw({0x21, 0xF9, 3, 0x09, 0x05, 0x00, 0x00});
    gif.Image(0, 0, 1, 1, Indices("1"));
    const test::Bytes bytes = gif.Finish();
    GifAnimation animation;
    ASSERT_TRUE(animation.Open(bytes));
    EXPECT_EQ(animation.LoopCount(), 3);
    EXPECT_EQ(animation.ScreenWidth(), 1);
    EXPECT_EQ(animation.ScreenHeight(), 1);
    MemoryImage screen;
    ASSERT_TRUE(animation.Rewind(screen));
    ASSERT_TRUE(animation.NextFrame(screen));
    EXPECT_EQ(animation.Frame().delay, 0);
    EXPECT_EQ(animation.Frame().disposal, GifDisposal::Background);
    EXPECT_EQ(animation.Frame().transparentIndex, 1);
    EXPECT_EQ(Screen(screen), ".");
    ASSERT_TRUE(animation.NextFrame(screen));
    EXPECT_EQ(animation.Frame().delay, 250);
    EXPECT_EQ(animation.Frame().disposal, GifDisposal::Previous);
    EXPECT_EQ(animation.Frame().transparentIndex, -1);
    ASSERT_TRUE(animation.NextFrame(screen));
    EXPECT_EQ(animation.Frame().delay, 0);
    EXPECT_EQ(animation.Frame().disposal, GifDisposal::Unspecified);
    EXPECT_EQ(Screen(screen), "B");
    ASSERT_TRUE(animation.NextFrame(screen));
    EXPECT_EQ(animation.Frame().delay, 7);
    EXPECT_EQ(animation.Frame().disposal, GifDisposal::Keep) << "unassigned value 6";
    ASSERT_TRUE(animation.NextFrame(screen));
    EXPECT_EQ(animation.Frame().delay, 0);
    EXPECT_EQ(animation.Frame().disposal, GifDisposal::Unspecified);
    EXPECT_EQ(animation.Frame().transparentIndex, -1);
    EXPECT_EQ(Screen(screen), "R");
    EXPECT_FALSE(animation.NextFrame(screen));

    const struct {
        const char* what;
        int count; // -1: no loop extension
        const char* id;
        int32_t expected;
    } loops[] = {
        {"none: played once", -1, "NETSCAPE2.0", 0},
        {"0: for ever", 0, "NETSCAPE2.0", GifAnimation::kLoopForever},
        {"65535", 65535, "NETSCAPE2.0", 65535},
        {"the other name of the extension", 2, "ANIMEXTS1.0", 2},
        {"another application's extension", 2, "NETSCAPE2.1", 0},
    };
    for (const auto& l : loops) {
        GifBuilder g(1, 1, kColours);
        if (l.count >= 0) g.Loop(static_cast<uint16_t>(l.count), l.id);
        g.Image(0, 0, 1, 1, Indices("1"));
        const test::Bytes b = g.Finish();
        GifAnimation a;
        ASSERT_TRUE(a.Open(b)) << l.what;
        EXPECT_EQ(a.LoopCount(), l.expected) << l.what;
    }
    // The first loop extension counts.
    GifBuilder twice(1, 1, kColours);
    twice.Loop(4).Image(0, 0, 1, 1, Indices("1")).Loop(0);
    const test::Bytes b = twice.Finish();
    GifAnimation a;
    ASSERT_TRUE(a.Open(b));
    EXPECT_EQ(a.LoopCount(), 4);
}

TEST(GifCompositing, TheAnimatedSampleSkin) {
    // samples/skin-shimmer.gif (tools/make-artwork.py): 24 pictures of 80 ms, looping;
    // the encoder joins pictures that do not change into one frame of their summed time.
    std::string file;
    ASSERT_TRUE(test::ReadFile(
        test::JoinPath(test::JoinPath(test::SourceDir(), "samples"), "skin-shimmer.gif"), file));
    const test::Bytes bytes(file.begin(), file.end());
    GifAnimation animation;
    ASSERT_TRUE(animation.Open(bytes));
    EXPECT_GT(animation.FrameCount(), 1u);
    EXPECT_LE(animation.FrameCount(), 30u);
    EXPECT_EQ(animation.LoopCount(), GifAnimation::kLoopForever);
    EXPECT_EQ(animation.ScreenWidth(), 320);
    EXPECT_EQ(animation.ScreenHeight(), 40);
    MemoryImage screen;
    ASSERT_TRUE(animation.Rewind(screen));
    uint32_t total = 0;
    while (animation.NextFrame(screen)) {
        EXPECT_EQ(animation.Frame().delay % 8, 0);
        total += animation.Frame().delay;
        EXPECT_EQ(screen.PixelAt(319, 39) >> 24, 255u) << "every frame covers the screen";
    }
    EXPECT_EQ(total, 24u * 8);
    EXPECT_EQ(animation.FrameIndex() + 1, animation.FrameCount());
}

TEST(GifCompositing, DisplayTimes) {
    const struct {
        uint16_t delay;
        uint32_t ms;
    } cases[] = {{0, 100}, {1, 100}, {2, 20}, {4, 40}, {10, 100}, {65535, 655350}};
    for (const auto& c : cases)
        EXPECT_EQ(GifDisplayMilliseconds(c.delay), c.ms) << c.delay;
}

TEST(GifCompositing, ScreensThatCannotBePlayedAreRefused) {
    const auto open = [](const test::Bytes& b) {
        GifAnimation a;
        const bool ok = a.Open(b);
        return std::make_pair(ok, a.Fault());
    };
    test::Bytes good = GifBuilder(2, 2, kColours).Image(0, 0, 2, 2, Indices("1111")).Finish();
    EXPECT_EQ(open(good), std::make_pair(true, GifAnimationFault::None));
    test::Bytes lower = good;
    for (int i = 0; i < 3; ++i)
        lower[static_cast<size_t>(i)] = static_cast<uint8_t>(lower[static_cast<size_t>(i)] + 32);
    EXPECT_EQ(open(lower).first, true) << "signature in small letters";
    test::Bytes gif87 = good;
    gif87[4] = '7';
    EXPECT_EQ(open(gif87).first, true);
    test::Bytes gif88 = good;
    gif88[4] = '8';
    EXPECT_EQ(open(gif88), std::make_pair(false, GifAnimationFault::NotGif));
    EXPECT_EQ(open(test::Bytes(good.begin(), good.begin() + 12)).second, GifAnimationFault::NotGif);
    test::Bytes zeroWidth = good;
    zeroWidth[6] = 0;
    EXPECT_EQ(open(zeroWidth).second, GifAnimationFault::BadScreen);
    test::Bytes zeroHeight = good;
    zeroHeight[8] = 0;
    EXPECT_EQ(open(zeroHeight).second, GifAnimationFault::BadScreen);
    // 8192 x 8192 is the largest screen; 8193 x 8192 is refused.
    test::Bytes largest = GifBuilder(8192, 8192, kColours).Image(0, 0, 1, 1, Indices("1")).Finish();
    EXPECT_EQ(open(largest).first, true);
    test::Bytes tooLarge =
        GifBuilder(8193, 8192, kColours).Image(0, 0, 1, 1, Indices("1")).Finish();
    EXPECT_EQ(open(tooLarge).second, GifAnimationFault::BadScreen);
    test::Bytes noTable = GifBuilder(1, 1, {}).Image(0, 0, 1, 1, Indices("0")).Finish();
    EXPECT_EQ(open(noTable).second, GifAnimationFault::NoWholeFrame) << "no colour table at all";
    test::Bytes noTableNoPixels = GifBuilder(1, 1, {}).Image(0, 0, 0, 0, {}).Finish();
    EXPECT_EQ(open(noTableNoPixels).second, GifAnimationFault::NoWholeFrame)
        << "no colour table, even without pixels";
    test::Bytes onlyLocal =
        GifBuilder(1, 1, {}).Image(0, 0, 1, 1, Indices("1"), {0, 0xFFFFFF}).Finish();
    EXPECT_EQ(open(onlyLocal).first, true) << "a local table alone";
    test::Bytes noImage = GifBuilder(1, 1, kColours).Comment("x").Finish();
    EXPECT_EQ(open(noImage).second, GifAnimationFault::NoWholeFrame);
    // An index beyond the two entries of a local table has no colour.
    test::Bytes beyond =
        GifBuilder(1, 1, kColours).Image(0, 0, 1, 1, Indices("2"), {0, 0xFFFFFF}).Finish();
    EXPECT_EQ(open(beyond).second, GifAnimationFault::NoWholeFrame);
}

TEST(GifCompositing, APlayerCannotSkipRewindOrChangeTheScreen) {
    const test::Bytes bytes = GifBuilder(2, 1, kColours).Image(0, 0, 2, 1, Indices("12")).Finish();
    GifAnimation animation;
    ASSERT_TRUE(animation.Open(bytes));
    MemoryImage screen;
    EXPECT_FALSE(animation.NextFrame(screen)) << "before Rewind";
    ASSERT_TRUE(animation.Rewind(screen));
    EXPECT_EQ(screen.Width(), 2);
    EXPECT_EQ(screen.Height(), 1);
    MemoryImage other;
    ASSERT_TRUE(other.InitializeDIB(3, 1));
    EXPECT_FALSE(animation.NextFrame(other)) << "a screen of another size";
    EXPECT_TRUE(animation.NextFrame(screen));
    EXPECT_EQ(Screen(screen), "RG");
    // Rewinding clears what the last frame left, on the same image.
    const uint8_t* bits = screen.BitsPointer();
    ASSERT_TRUE(animation.Rewind(screen));
    EXPECT_EQ(screen.BitsPointer(), bits);
    EXPECT_EQ(Screen(screen), "..");
}

} // namespace
} // namespace moirelle
