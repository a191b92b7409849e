// A three-frame animation cut short at every byte, its block boundaries among them, and
// corrupted after its first frames: it plays the frames that are whole, as the whole file
// shows them, and nothing else.
#include "dib/MemoryImage.h"
#include "formats/GifAnimation.h"
#include "tests/portable/animation/GifBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace moirelle {
namespace {

using test::Bytes;
using test::GifBuilder;
using test::Indices;

const std::vector<uint32_t> kColours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

GifBuilder ThreeFrames() {
    GifBuilder gif(3, 2, kColours);
    gif.Loop(0);
    gif.Control(1, 20).Image(0, 0, 3, 2, Indices("111 222"));
    gif.Comment("between");
    gif.Control(2, 30, 0).Image(1, 0, 2, 2, Indices("30 03"));
    gif.Control(3, 40).Image(0, 1, 3, 1, Indices("123"), {0xFFFFFF, 0x808080, 0x404040, 0x101010});
    return gif;
}

// Every frame's screen as bytes.
std::vector<Bytes> Play(const Bytes& file, size_t& frames, bool whole = true) {
    std::vector<Bytes> screens;
    GifAnimation animation;
    animation.AllowWholeFrames(whole);
    frames = 0;
    if (!animation.Open(file)) return screens;
    frames = animation.FrameCount();
    MemoryImage screen;
    if (!animation.Rewind(screen)) return screens;
    while (animation.NextFrame(screen))
        screens.emplace_back(screen.BitsPointer(), screen.BitsPointer() + 3 * 2 * 4);
    return screens;
}

TEST(GifTruncation, EveryCutPlaysTheWholeFramesBeforeIt) {
    GifBuilder gif = ThreeFrames();
    const Bytes whole = gif.Finish();
    const std::vector<size_t> ends = gif.ImageEnds();
    ASSERT_EQ(ends.size(), 3u);
    size_t count = 0;
    const std::vector<Bytes> full = Play(whole, count);
    ASSERT_EQ(count, 3u);
    ASSERT_EQ(full.size(), 3u);
    EXPECT_NE(full[0], full[1]);
    EXPECT_NE(full[1], full[2]);

    const std::vector<size_t> boundaries = gif.BlockStarts();
    int boundariesSeen = 0;
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        boundariesSeen += std::count(boundaries.begin(), boundaries.end(), cut) != 0;
        const Bytes part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
        const size_t wholeFrames = static_cast<size_t>(
            std::count_if(ends.begin(), ends.end(), [&](size_t e) { return e <= cut; }));
        for (const bool inOnePiece : {true, false}) {
            const std::vector<Bytes> screens = Play(part, count, inOnePiece);
            ASSERT_EQ(count, wholeFrames);
            ASSERT_EQ(screens.size(), wholeFrames);
            for (size_t i = 0; i < wholeFrames; ++i)
                EXPECT_EQ(screens[i], full[i])
                    << "frame " << i << (inOnePiece ? "" : " row by row");
        }
    }
    EXPECT_EQ(boundariesSeen, static_cast<int>(boundaries.size()));
}

TEST(GifTruncation, ACorruptLaterFrameEndsTheAnimation) {
    GifBuilder gif = ThreeFrames();
    const Bytes whole = gif.Finish();
    const std::vector<size_t> starts = gif.BlockStarts();
    const std::vector<size_t> ends = gif.ImageEnds();
    size_t count = 0;
    const std::vector<Bytes> full = Play(whole, count);

    // An unknown block byte where the third frame's control extension starts.
    Bytes unknownBlock = whole;
    const size_t thirdControl =
        *std::find_if(starts.begin(), starts.end(), [&](size_t s) { return s > ends[1]; });
    unknownBlock[thirdControl] = 0x99;
    EXPECT_EQ(Play(unknownBlock, count).size(), 2u);
    EXPECT_EQ(count, 2u);

    // The second frame's first code after its clear code set to a code not yet defined.
    // The frame is 2 x 2 with a minimum code size of 2: codes are 3 bits, clear is 4; the
    // first data byte holds the clear code (bits 0-2) and the first literal (bits 3-5).
    Bytes badCode = whole;
    const size_t secondImage = *std::find_if(
        starts.begin(), starts.end(), [&](size_t s) { return s > ends[0] && whole[s] == 0x2C; });
    const size_t firstData = secondImage + 10 + 1 + 1; // descriptor, code size, length byte
    ASSERT_EQ(whole[firstData] & 7, 4);
    badCode[firstData] = static_cast<uint8_t>((badCode[firstData] & ~0x38) | (7 << 3));
    const std::vector<Bytes> screens = Play(badCode, count);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0], full[0]);

    // Bytes that change under a playing animation: the frame that no longer decodes ends
    // it, and the frames before it go on playing.
    {
        Bytes changing = whole;
        GifAnimation animation;
        ASSERT_TRUE(animation.Open(changing));
        changing[firstData] = badCode[firstData];
        MemoryImage screen;
        ASSERT_TRUE(animation.Rewind(screen));
        EXPECT_TRUE(animation.NextFrame(screen));
        EXPECT_FALSE(animation.NextFrame(screen));
        EXPECT_EQ(animation.FrameCount(), 1u);
        ASSERT_TRUE(animation.Rewind(screen));
        EXPECT_TRUE(animation.NextFrame(screen));
        EXPECT_FALSE(animation.NextFrame(screen)) << "the animation ends there from now on";
    }

    // The first frame's length byte pointing past the end: nothing to play.
    Bytes firstCut = whole;
    firstCut.resize(ends[0] - 2);
    GifAnimation animation;
    EXPECT_FALSE(animation.Open(firstCut));
    EXPECT_EQ(animation.Fault(), GifAnimationFault::NoWholeFrame);
}

} // namespace
} // namespace moirelle
