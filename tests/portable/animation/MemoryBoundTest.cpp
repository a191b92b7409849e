// What an animation holds while it plays: at most two screens (the screen image and the
// copy a restore-to-previous frame needs) and a small constant, however large its frames,
// counted through the program's allocations.
#include "dib/MemoryImage.h"
#include "formats/GifAnimation.h"
#include "tests/portable/animation/GifBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};
constexpr size_t kHeader = 16; // keeps the block's size, and the 16-byte alignment

void* Allocate(size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<size_t*>(block) = size;
    const size_t live = g_live += size;
    size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return block + kHeader;
}

void Release(void* p) noexcept {
    if (!p) return;
    auto* block = static_cast<unsigned char*>(p) - kHeader;
    g_live -= *reinterpret_cast<size_t*>(block);
    std::free(block);
}

} // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, size_t) noexcept {
    Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}

namespace moirelle {
namespace {

using test::GifBuilder;

TEST(GifMemory, PlayingHoldsTwoScreensAndASmallConstant) {
    // A 64 x 8 screen; frame 1 is 60000 x 40 (only its corner shows) and frame 2 covers the
    // screen, both restored to what was under them; frame 3 is plain.
    constexpr int kWidth = 64, kHeight = 8;
    constexpr size_t kScreenBytes = size_t{kWidth} * kHeight * 4;
    constexpr int kWide = 60000, kTall = 40;
    std::vector<uint8_t> wide(size_t{kWide} * kTall);
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<uint8_t>(1 + i % 3);
    GifBuilder gif(kWidth, kHeight, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
    gif.Loop(0);
    gif.Control(3, 10).Image(0, 0, kWide, kTall, wide);
    gif.Control(3, 10).Image(0, 0, kWidth, kHeight, std::vector<uint8_t>(kScreenBytes / 4, 2));
    gif.Control(1, 10).Image(3, 3, 2, 2, {3, 3, 3, 3});
    const test::Bytes bytes = gif.Finish();
    wide = {};

    const size_t before = g_live.load();
    g_peak = before;
    {
        auto animation = std::make_unique<GifAnimation>();
        MemoryImage screen;
        ASSERT_TRUE(animation->Open(bytes));
        ASSERT_EQ(animation->FrameCount(), 3u);
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(animation->Rewind(screen));
            while (animation->NextFrame(screen)) {
            }
            EXPECT_EQ(animation->FrameIndex(), 2u);
        }
        // The corner of the wide frame went back; the small frame lies on the empty screen.
        EXPECT_EQ(screen.PixelAt(0, 0), 0u);
        EXPECT_EQ(screen.PixelAt(3, 3), 0xFF0000FFu);
    }
    const size_t used = g_peak.load() - before;
    // The constant: the object with its code table, one row of the widest frame a GIF
    // can have (65535 indices) plus the longest string (4096), and the string table of
    // the decoder that takes a small frame in one piece (4096 entries of 16 bytes).
    const size_t constant = sizeof(GifAnimation) + 65535 + 4096 + 4096 * 16 + 4096;
    EXPECT_LE(used, 2 * kScreenBytes + constant);
    EXPECT_GE(used, kScreenBytes) << "the screen image itself is counted";
    EXPECT_EQ(g_live.load(), before) << "everything is given back";
}

} // namespace
} // namespace moirelle
