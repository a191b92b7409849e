// Fuzz target: the GIF animation reader, every frame played twice. Each screen must stay
// premultiplied, the second round must give the first round's screens, and what the
// reader holds besides the screen must stay within one screen and one decoder row.
#include "dib/MemoryImage.h"
#include "formats/GifAnimation.h"
#include "fuzz/FuzzChecks.h"

#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    moirelle::GifAnimation animation;
    if (!animation.Open(bytes)) return 0;
    if (animation.FrameCount() == 0) __builtin_trap();
    moirelle::MemoryImage screen;
    const size_t screenBytes =
        static_cast<size_t>(animation.ScreenWidth()) * animation.ScreenHeight() * 4;
    constexpr size_t kWidestRow = 65535 + 4096;
    // Large screens are played once, a few frames, without the whole-screen checks, which
    // would take the time of the run.
    if (screenBytes > (size_t{4} << 20)) {
        if (!animation.Rewind(screen)) return 0;
        for (int i = 0; i < 8 && animation.NextFrame(screen); ++i)
            if (animation.ScratchBytes() > screenBytes + kWidestRow) __builtin_trap();
        return 0;
    }
    std::vector<uint32_t> firstRound;
    for (int round = 0; round < 2; ++round) {
        if (!animation.Rewind(screen)) return 0;
        size_t frames = 0;
        while (animation.NextFrame(screen)) {
            moirelle::fuzz::CheckPremultiplied(screen);
            if (animation.ScratchBytes() > screenBytes + kWidestRow) __builtin_trap();
            // A cheap digest of the screen, to compare the rounds.
            uint32_t digest = 2166136261u;
            for (size_t i = 0; i < screenBytes; i += 61)
                digest = (digest ^ screen.BitsPointer()[i]) * 16777619u;
            if (round == 0)
                firstRound.push_back(digest);
            else if (frames >= firstRound.size() || firstRound[frames] != digest)
                __builtin_trap();
            ++frames;
        }
        if (frames != animation.FrameCount()) __builtin_trap();
    }
    return 0;
}
