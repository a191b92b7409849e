#include "app/SkinAnimation.h"

#include "dib/BlendToDestination.h"
#include "dib/RenderRequest.h"
#include "dib/SoftwareRender.h"
#include "formats/win/modParsersWin.h"
#include "platform/win/Text.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace moirelle::app {
namespace {

// While nothing shows the animation, the timer only looks every so often.
constexpr UINT kPausedPollMs = 250;
// Ticks between looks at full-screen windows and at the overlay's size.
constexpr int kCheckEvery = 8;

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(std::filesystem::path(win::Widen(path)), std::ios::binary);
    if (!in) return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The foreground window covers the whole monitor (and is not the desktop itself).
bool MonitorInFullScreen(HMONITOR monitor) {
    HWND front = GetForegroundWindow();
    if (!front || front == GetDesktopWindow() || front == GetShellWindow()) return false;
    if (MonitorFromWindow(front, MONITOR_DEFAULTTONULL) != monitor) return false;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    RECT r{};
    if (!GetMonitorInfoW(monitor, &info) || !GetWindowRect(front, &r)) return false;
    return r.left <= info.rcMonitor.left && r.top <= info.rcMonitor.top &&
           r.right >= info.rcMonitor.right && r.bottom >= info.rcMonitor.bottom;
}

} // namespace

SkinAnimation::SkinAnimation(AnimationClock& clock, std::function<std::vector<Overlay>()> overlays)
    : clock_(clock), overlays_(std::move(overlays)) {}

SkinAnimation::~SkinAnimation() {
    Stop();
}

bool SkinAnimation::Play(const std::string& path) {
    Stop();
    bytes_ = ReadWholeFile(path);
    if (!clock_.Ready() || !animation_.Open(bytes_) || animation_.FrameCount() < 2 ||
        !animation_.Rewind(screen_) || !animation_.NextFrame(screen_)) {
        Stop();
        return false;
    }
    if (!FitBitmap()) {
        Stop();
        return false;
    }
    playsLeft_ = animation_.LoopCount();
    Arm(GifDisplayMilliseconds(animation_.Frame().delay));
    return true;
}

void SkinAnimation::Stop() {
    clock_.Cancel(this);
    playing_ = false;
    ticksToCheck_ = 0;
    covered_.clear();
    picture_ = forms::Picture(); // the overlays hold their own reference while they show it
    bitmap_ = nullptr;
    bitmapBits_ = nullptr;
    bitmapWidth_ = bitmapHeight_ = 0;
    screen_ = MemoryImage();
    shown_ = {};
    bytes_ = {};
    animation_ = GifAnimation();
}

void SkinAnimation::Arm(UINT ms) {
    clock_.Schedule(this, ms, [this] { Tick(); });
    playing_ = true;
}

bool SkinAnimation::FitBitmap() {
    const std::vector<Overlay> all = overlays_();
    int32_t w = animation_.ScreenWidth(), h = animation_.ScreenHeight();
    if (!all.empty()) {
        const RECT r = all.front().image->PixelRect();
        if (r.right > r.left && r.bottom > r.top) w = r.right - r.left, h = r.bottom - r.top;
    }
    if (bitmap_ && w == bitmapWidth_ && h == bitmapHeight_) return true;
    // A bottom-up 32-bit bitmap: the same row order as the screen image.
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return false;
    forms::Picture picture(modParsers::PictureFromHandle(bitmap, modParsers::pictureBitmap));
    if (picture.Empty()) {
        DeleteObject(bitmap);
        return false;
    }
    const forms::Picture old = picture_;
    picture_ = picture;
    bitmap_ = bitmap;
    bitmapBits_ = static_cast<uint8_t*>(bits);
    bitmapWidth_ = w;
    bitmapHeight_ = h;
    Present();
    for (const Overlay& o : all)
        if (old.Empty() || o.image->Picture() == old) o.image->Picture(picture_);
    return true;
}

bool SkinAnimation::Covered(HWND overlay) {
    return MonitorInFullScreen(MonitorFromWindow(overlay, MONITOR_DEFAULTTONEAREST));
}

void SkinAnimation::Tick() {
    const bool check = ticksToCheck_ == 0;
    ticksToCheck_ = check ? kCheckEvery - 1 : ticksToCheck_ - 1;
    if (check) covered_.clear();
    std::vector<Overlay> showing;
    if (!clock_.Locked())
        for (const Overlay& o : overlays_()) {
            if (o.image->Picture() != picture_ || !IsWindowVisible(o.window)) continue;
            if (check && Covered(o.window)) covered_.push_back(o.window);
            if (std::find(covered_.begin(), covered_.end(), o.window) == covered_.end())
                showing.push_back(o);
        }
    if (showing.empty()) {
        ticksToCheck_ = 0;
        Arm(kPausedPollMs);
        return;
    }
    if (!animation_.NextFrame(screen_)) {
        // The end of a play: again while plays are left, else the last frame stays.
        if (playsLeft_ == 0) {
            playing_ = false;
            return;
        }
        if (playsLeft_ > 0) --playsLeft_;
        if (!animation_.Rewind(screen_) || !animation_.NextFrame(screen_)) {
            Stop();
            return;
        }
    }
    if (check && !FitBitmap()) {
        Stop();
        return;
    }
    // A frame that changes nothing (a pause drawn as frames) is not drawn again.
    if (!SameAsShown()) {
        Present();
        for (const Overlay& o : showing)
            o.image->DrawNow();
    }
    Arm(GifDisplayMilliseconds(animation_.Frame().delay));
}

bool SkinAnimation::SameAsShown() const {
    const size_t bytes = static_cast<size_t>(screen_.scanWidth()) * screen_.Height();
    return bytes != 0 && shown_.size() == bytes &&
           std::memcmp(shown_.data(), screen_.BitsPointer(), bytes) == 0;
}

void SkinAnimation::Present() {
    // Transparent parts show the overlay's background, as a transparent still GIF does.
    const COLORREF back = GetSysColor(COLOR_BTNFACE);
    const uint32_t fill = 0xFF000000u | (uint32_t{GetRValue(back)} << 16) |
                          (uint32_t{GetGValue(back)} << 8) | GetBValue(back);
    const PixelView bitmap{bitmapBits_, bitmapWidth_, bitmapHeight_};
    const size_t pixels = static_cast<size_t>(bitmapWidth_) * bitmapHeight_;
    std::fill_n(reinterpret_cast<uint32_t*>(bitmapBits_), pixels, fill);
    // Scaled (bilinear) and laid over it by the software renderer.
    RenderRequest r;
    r.destWidth = bitmapWidth_;
    r.destHeight = bitmapHeight_;
    r.srcWidth = screen_.Width();
    r.srcHeight = screen_.Height();
    PreparedSource source;
    if (PrepareSoftwareSource(screen_.View(), r, true, source)) {
        BlendPlan plan;
        PlanBlend(source.Rows(), source.srcX, source.srcY, source.destX, source.destY,
                  source.destWidth, source.destHeight, bitmapWidth_, bitmapHeight_, plan);
        BlendOntoHost(source.Rows(), plan, bitmap, 255, -1);
    }
    GdiFlush();
    const uint8_t* first = screen_.BitsPointer();
    shown_.assign(first, first + static_cast<size_t>(screen_.scanWidth()) * screen_.Height());
}

} // namespace moirelle::app
