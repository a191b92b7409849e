#pragma once
// A base picture that is an animated GIF: plays it on the overlays that show it at its own
// delays (delays under 20 ms at 100 ms), looping as the file says, on the program's one
// clock, shared with every other animation. Each of its ticks composites at most one frame into a
// bitmap that every overlay's base picture shows, and redraws only the overlays that show it now;
// the texture above is redrawn with it. Playing pauses while no overlay shows (hidden, or its
// monitor covered by a full-screen window) and while the session is locked, and goes on from where
// it was. A still picture stops the timer and keeps nothing.

#include "app/AnimationClock.h"
#include "dib/MemoryImage.h"
#include "formats/GifAnimation.h"
#include "forms/Image.h"
#include "forms/Picture.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace moirelle::app {

class SkinAnimation {
  public:
    struct Overlay {
        HWND window;         // the overlay's window
        forms::Image* image; // its base picture
    };

    // `overlays` answers the overlays that may show it now, each time the animation draws.
    SkinAnimation(AnimationClock& clock, std::function<std::vector<Overlay>()> overlays);
    ~SkinAnimation();
    SkinAnimation(const SkinAnimation&) = delete;
    SkinAnimation& operator=(const SkinAnimation&) = delete;

    // Plays the file (UTF-8 path) when it is a GIF of more than one frame, showing its
    // first frame on every overlay at once; anything else stops what played. True when it
    // plays.
    bool Play(const std::string& path);
    void Stop();
    bool Playing() const { return playing_; }
    // The picture the overlays show while it plays (empty when nothing plays).
    const forms::Picture& Picture() const { return picture_; }

  private:
    void Tick();
    // Whether this overlay's monitor is covered by the foreground window in full screen.
    static bool Covered(HWND overlay);
    // A bitmap of the first overlay's size for the overlays to show (so that drawing it is
    // a copy, not a stretch); false when none can be made.
    bool FitBitmap();
    // The screen scaled to the bitmap and laid over the overlays' background colour.
    void Present();
    // Whether the screen holds what the bitmap shows already.
    bool SameAsShown() const;
    void Arm(UINT ms);

    AnimationClock& clock_;
    std::function<std::vector<Overlay>()> overlays_;
    bool playing_ = false; // a frame is awaited (or it rests, looking now and then)
    // The full-screen test and the overlay's size are looked at every kCheckEvery ticks
    // (and at every tick while paused); in between the last answers stand.
    int ticksToCheck_ = 0;
    std::vector<HWND> covered_;

    std::vector<uint8_t> bytes_;
    GifAnimation animation_;
    MemoryImage screen_;
    std::vector<uint8_t> shown_; // the screen as the bitmap shows it
    int32_t playsLeft_ = 0;      // plays after the current one; GifAnimation::kLoopForever
    HBITMAP bitmap_ = nullptr;   // owned by picture_
    uint8_t* bitmapBits_ = nullptr;
    int32_t bitmapWidth_ = 0, bitmapHeight_ = 0;
    forms::Picture picture_;
};

} // namespace moirelle::app
