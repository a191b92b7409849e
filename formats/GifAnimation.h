#pragma once
// Reader of GIF animations: every frame composited onto the logical screen as browsers show
// it (frames clipped to the screen, transparent indices leaving what lies under them, the
// four disposal kinds, the screen starting and restored to transparent), into a
// premultiplied 32-bpp image of the screen's size. It reads one frame at a time from the
// caller's bytes: besides the screen image it holds the area that a restore-to-previous
// frame covers and the decoder's table and row, never the whole animation.
//
// The first-frame reader (cGIFparser) stays what the image object loads; this one is for
// playing a file.

#include "dib/ImageTarget.h"
#include "formats/GifLzwRows.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace moirelle {

// What happens to a frame's rectangle before the next frame is drawn. Values 4 to 7 are
// unassigned and read as Keep, as browsers do.
enum class GifDisposal : uint8_t { Unspecified = 0, Keep = 1, Background = 2, Previous = 3 };

// Why Open refused the data.
enum class GifAnimationFault : uint8_t {
    None,
    NotGif,       // no GIF87a/GIF89a signature or no whole screen descriptor
    BadScreen,    // a logical screen of width or height 0, or above kMaxScreenPixels
    NoWholeFrame, // not even the first frame is complete and decodable
};

struct GifFrameInfo {
    int32_t left = 0, top = 0, width = 0, height = 0; // as the descriptor gives them
    uint16_t delay = 0;                               // hundredths of a second, as stored
    GifDisposal disposal = GifDisposal::Unspecified;
    int32_t transparentIndex = -1; // -1: none
    bool interlaced = false;
    bool localTable = false;
};

class GifAnimation {
  public:
    // The largest logical screen played: 8192 x 8192 pixels (256 MiB as an image).
    static constexpr uint64_t kMaxScreenPixels = uint64_t{1} << 26;
    static constexpr int32_t kLoopForever = -1;

    // Reads the screen and checks every frame, its structure and its codes, without
    // drawing any. The bytes are not copied: they must stay unchanged while the object
    // plays them. A frame that is cut short or corrupt ends the animation at the frame
    // before it. False (see Fault) when there is no first frame to show.
    bool Open(std::span<const uint8_t> bytes);
    GifAnimationFault Fault() const { return fault_; }

    int32_t ScreenWidth() const { return screenWidth_; }
    int32_t ScreenHeight() const { return screenHeight_; }
    size_t FrameCount() const { return frameCount_; }
    // How many times the animation is played again after its first time: kLoopForever for
    // a loop extension with 0, its count otherwise, 0 when the file has none (play once).
    int32_t LoopCount() const { return loopCount_; }

    // Makes `screen` a transparent image of the screen's size; the next frame is the first.
    bool Rewind(IImageTarget& screen);
    // Disposes of the frame shown (as its disposal says) and composites the next one onto
    // `screen`, which Rewind made and nothing else changed since. False after the last
    // frame (Rewind plays it again), before any Rewind, or for a screen of another size.
    bool NextFrame(IImageTarget& screen);
    // The frame the screen shows after NextFrame: its position and what the file says of it.
    size_t FrameIndex() const { return frameIndex_; }
    const GifFrameInfo& Frame() const { return frame_; }

    // Small frames decode in one piece (faster), others row by row; false sends every
    // frame row by row, so that both roads can be checked to give the same screens.
    void AllowWholeFrames(bool allow) { allowWhole_ = allow; }

    // Bytes held besides the screen image (the restore-to-previous copy, the decoder's row).
    size_t ScratchBytes() const;

  private:
    struct Header {
        GifFrameInfo info;
        size_t tablePos = 0;
        uint32_t tableEntries = 0;
        int minCodeSize = 0;
        size_t chainPos = 0;
    };
    struct Rect {
        int32_t left = 0, top = 0, width = 0, height = 0;
    };

    // Reads the blocks from `pos` up to and over the next whole image. False at the
    // trailer, at an unknown block or where the data is cut short.
    bool ReadFrameHeader(size_t& pos, Header& header);
    Rect Clipped(const GifFrameInfo& info) const;
    // Decodes the frame's codes in one piece into a block of at most one screen less what
    // the restore-to-previous copy holds (`previousBytes`), and hands its rows to `sink`. False,
    // having drawn nothing, when the frame does not fit there or its codes are not valid.
    bool DecodeWhole(const Header& header, size_t previousBytes, gif::IRowSink& sink);
    void Dispose(IImageTarget& screen);

    std::span<const uint8_t> bytes_;
    GifAnimationFault fault_ = GifAnimationFault::NotGif;
    int32_t screenWidth_ = 0, screenHeight_ = 0;
    size_t globalTablePos_ = 0;
    uint32_t globalTableEntries_ = 0;
    size_t firstBlock_ = 0;
    size_t frameCount_ = 0;
    int32_t loopCount_ = 0;
    bool loopSeen_ = false;

    // Playing: where the next frame's blocks start, and what the shown one left behind.
    bool rewound_ = false;
    size_t cursor_ = 0;
    size_t nextIndex_ = 0;
    size_t frameIndex_ = 0;
    GifFrameInfo frame_;
    Rect shownRect_;
    bool frameShown_ = false;
    bool allowWhole_ = true;
    std::vector<uint8_t> previous_; // the shown frame's rectangle as it was before it
    gif::LzwRowDecoder decoder_;
};

// How long a frame stays, in milliseconds: its delay, but delays under 20 ms are shown at
// 100 ms, as browsers do.
uint32_t GifDisplayMilliseconds(uint16_t delay);

} // namespace moirelle
