// The image control's state: lifecycle, stored properties and the property setters.
#include "control/aicAlphaImage.h"

#include "control/ControlFlags.h"
#include "control/OleColor.h"
#include "forms/Container.h"
#include "forms/ScaleMode.h"

#include <cmath>
#include <cstdlib>

namespace moirelle::control {
namespace {

constexpr int32_t kSystemColor15 = static_cast<int32_t>(0x8000000F);
constexpr int32_t kDefaultShadowColor = 0x404040;
// The largest stored custom size: far beyond any control, and small enough that no sum of
// positions and sizes, nor the diagonal, overflows.
constexpr int32_t kLargestCustomSize = 0x7FFF;

} // namespace

aicAlphaImage::aicAlphaImage(forms::Container& parent, forms::Bounds twips,
                             std::optional<forms::PropertyBag> stored)
    : UserControl(parent, twips, std::move(stored)), image_(std::make_unique<c32bppDIB>()) {}

aicAlphaImage::~aicAlphaImage() {
    // Terminate normally ran already (Hosted<>); this covers an instance never started.
    timers_.Release();
    if (shared_) shared_->RemoveRef(Identity());
}

// --- Helpers ------------------------------------------------------------------------

bool aicAlphaImage::RunTime() const {
    return Ambient().UserMode;
}

void aicAlphaImage::SetFlag(uint32_t bit, bool on) {
    flags_ = on ? (flags_ | bit) : (flags_ & ~bit);
}

int32_t aicAlphaImage::ScaleWidthPx() const {
    return static_cast<int32_t>(std::nearbyint(ScaleWidth()));
}

int32_t aicAlphaImage::ScaleHeightPx() const {
    return static_cast<int32_t>(std::nearbyint(ScaleHeight()));
}

void aicAlphaImage::ReadContainerScaleMode() {
    auto mode = Parent().Property("ScaleMode");
    std::optional<int32_t> value = mode ? forms::VariantAs<int32_t>(*mode) : std::nullopt;
    containerScaleMode_ = value ? *value : forms::vbContainerPosition;
}

void aicAlphaImage::Repaint() {
    UserControl::Refresh();
}

void aicAlphaImage::ShareToken() {
    uintptr_t token = shared_ ? static_cast<uintptr_t>(shared_->gdiToken()) : 0;
    image_->gdiToken(token);
    if (backBuffer_) backBuffer_->gdiToken(token);
    if (shadowImage_) shadowImage_->gdiToken(token);
}

std::unique_ptr<c32bppDIB> aicAlphaImage::NewDIB() const {
    auto dib = std::make_unique<c32bppDIB>();
    if (!image_->isGDIplusEnabled()) dib->isGDIplusEnabled(false);
    dib->gdiToken(image_->gdiToken());
    return dib;
}

// --- Lifecycle ----------------------------------------------------------------------

void aicAlphaImage::UserControl_Initialize() {
    // The image object exists from construction on (so no member ever meets a missing one)
    // and is never replaced.
}

void aicAlphaImage::ConnectSharedState() {
    // A state connected before forgets this instance.
    if (shared_) shared_->RemoveRef(Identity());
    shared_.reset();
    for (forms::Control* c : ParentControls()) {
        if (c->TypeName() != TypeName()) continue;
        // Only the first control of this type is asked.
        if (auto* other = dynamic_cast<ICrossComm*>(c)) shared_ = other->CrossTalkClass();
        break;
    }
    if (!shared_) {
        shared_ = std::make_shared<cCrossComm>();
        if (image_->isGDIplusEnabled()) shared_->ManageGDIToken(UserControl::ContainerHwnd());
    }
    ShareToken();
    shared_->AddRef(Identity());
    if (RunTime() && !timers_.Made(TimerEntries::kMouseTracking))
        timers_.Create(TimerEntries::kMouseTracking, [this](HWND h, UINT m, UINT_PTR id, DWORD t) {
            MouseTrackTick(h, m, id, t);
        });
    // Also at design time: a fade's timer then lives on the container under its own id too.
    containerHwnd_ = UserControl::ContainerHwnd();
}

void aicAlphaImage::UserControl_InitProperties() {
    ConnectSharedState();
    opacity_ = 100;
    grayScaleMethod_ = -1;
    scaleMethod_ = 0;
    maskColor_ = kSystemColor15;
    flags_ = kStretchQuality | kAutoSize;
    shadowColor_ = kDefaultShadowColor;
    shadowDepth_ = 2;
    shadowOffsetX_ = 2;
    shadowOffsetY_ = 2;
    shadowOpacity_ = 50;
    image_->HighQualityInterpolation(true);
    ReadContainerScaleMode();
}

void aicAlphaImage::UserControl_ReadProperties(forms::PropertyBag& bag) {
    ConnectSharedState();
    // Stored values are taken as they are, except what a setter would refuse: that keeps
    // the key's default.
    const auto within = [](auto value, auto low, auto high, auto fallback) {
        return value >= low && value <= high ? value : fallback;
    };
    const forms::ByteArray imageBytes = bag.Read<forms::ByteArray>("Image", {});
    scaleMethod_ = bag.Read<int32_t>("Scaler", 0);
    opacity_ = bag.Read<int16_t>("Opacity", 100);
    mirror_ = within(bag.Read<int32_t>("Mirror", 0), 0, 3, 0);
    rotation_ = bag.Read<int32_t>("Angle", 0);
    grayScaleMethod_ = within(bag.Read<int32_t>("GrayScale", -1), -1, 7, -1);
    hitTest_ = within(bag.Read<int32_t>("HitTest", 0), 0, 3, 0);
    // The back-buffer bit is the control's own state, never a stored one.
    flags_ = static_cast<uint32_t>(bag.Read<int32_t>("Props", 1)) & ~kBackBufferInUse;
    maskActive_ = bag.Read<bool>("MaskUsed", false);
    maskColor_ = bag.Read<int32_t>("MaskColor", kSystemColor15);
    maskUsed_ = within(bag.Read<int32_t>("MaskSource", 0), 0, 5, 0);
    if (maskActive_) appliedMaskColor_ = bag.Read<int32_t>("Mask", kSystemColor15);
    UserControl::Enabled(bag.Read<bool>("Enabled", true));
    UserControl::MouseIcon(bag.Read<forms::Picture>("MIcon", {}));
    UserControl::MousePointer(
        static_cast<int16_t>(within(bag.Read<int32_t>("MPointer", 0), INT16_MIN, INT16_MAX, 0)));
    UserControl::OLEDropMode(
        static_cast<int16_t>(within(bag.Read<int32_t>("OLEdrop", 0), INT16_MIN, INT16_MAX, 0)));
    if (scaleMethod_ == CustomSize) {
        // A negative width is the layout's own mark; no custom size may overflow the
        // geometry (rectangle sums, the diagonal).
        drawWidth_ = within(bag.Read<int32_t>("ScaleCx", 0), 0, kLargestCustomSize, 0);
        drawHeight_ = within(bag.Read<int32_t>("ScaleCy", 0), 0, kLargestCustomSize, 0);
    }
    shadowColor_ = bag.Read<int32_t>("ShadowColor", kDefaultShadowColor);
    shadowDepth_ = within(int32_t{bag.Read<int16_t>("ShadowDepth", 2)}, 0, 10, 2);
    shadowOffsetX_ = bag.Read<int16_t>("ShadowX", 2);
    shadowOffsetY_ = bag.Read<int16_t>("ShadowY", 2);
    shadowOpacity_ = within(int32_t{bag.Read<int16_t>("ShadowOpacity", 50)}, 0, 100, 50);
    intensityOffset_ = within(bag.Read<float>("Intensity", 0.0f), -100.0f, 100.0f, 0.0f);

    ReadContainerScaleMode();
    image_->HighQualityInterpolation(Flag(kStretchQuality));
    const bool loaded = image_->LoadPicture_Stream(imageBytes, ScaleWidthPx(), ScaleHeightPx(), 0,
                                                   0, !RunTime() || Flag(kKeepOriginalFormat), 32);
    if (!loaded) {
        if (scaleMethod_ == CustomSize) scaleMethod_ = ScaleToFit;
        flags_ &= kStretchQuality | kKeepOriginalFormat;
        rotation_ = 0;
        opacity_ = 100;
        mirror_ = 0;
        drawWidth_ = 0;
        drawHeight_ = 0;
    } else {
        PixelsChanged();
        ApplyMirror(0); // the fresh pixels are unflipped: applies the stored mirror
        if (maskActive_) image_->MakeTransparent(TranslateColor(appliedMaskColor_), false);
        if (Flag(kInversedImage)) image_->MakeImageInverse();
        // The layout below draws the back buffer, the hit shape and the shadow, once.
        if (Flag(kAutoRedraw) && RunTime()) SetFlag(kBackBufferInUse, true);
    }
    UserControl_Resize();
}

void aicAlphaImage::UserControl_Show() {
    if (Enabled() && shared_) shared_->AddRef(Identity());
    if (drawWidth_ == 0) RelayoutAndRefresh();
}

void aicAlphaImage::UserControl_Hide() {
    timers_.Kill(containerHwnd_, FadeTimerId()); // a running fade stops without an event
    if (Tag() == "Timer") {
        timers_.Kill(containerHwnd_, MouseTimerId());
        Tag("");
    }
    if (Enabled() && shared_) shared_->RemoveRef(Identity());
}

void aicAlphaImage::UserControl_Terminate() {
    backBuffer_.reset();
    paintCache_.reset();
    shadowImage_.reset();
    hitRegion_.reset();
    if (shared_) {
        shared_->RemoveRef(Identity());
        shared_.reset();
    }
    timers_.Release();
}

// --- Methods ------------------------------------------------------------------------

void aicAlphaImage::ClearImage() {
    if (Flag(kBackBufferInUse)) backBuffer_.reset();
    backBufferDrawn_.reset();
    paintCache_.reset();
    paintCacheDrawn_.reset();
    image_->DestroyDIB();
    PixelsChanged();
    shadowImage_.reset();
    shadowMade_.reset();
    if (RunTime()) {
        BuildHitRegion(); // no picture, no hit
        Repaint();
    } else {
        image_->InitializeDIB(drawWidth_, drawHeight_);
        image_->CreateCheckerBoard(12, 0xFFFFFF, 0xC0C0C0);
        RelayoutAndRefresh();
    }
}

void aicAlphaImage::Refresh() {
    ReadContainerScaleMode();
    Repaint();
}

int32_t aicAlphaImage::ImageType() const {
    const int32_t t = image_->ImageType();
    if (t == imgBlank || t == imgNone || t == imgCheckerBoard) return 0;
    if (Flag(kKeepOriginalFormat)) return t;
    if (image_->isGDIplusEnabled() || image_->isZlibEnabled()) return imgPNG;
    return image_->Alpha() ? imgAlphaPremultiplied : imgBitmap;
}

void aicAlphaImage::OffsetShadow(int32_t X, int32_t Y) {
    shadowOffsetX_ = X;
    shadowOffsetY_ = Y;
    if (Flag(kShadowEnabled)) Repaint();
}

void aicAlphaImage::OffsetImage(bool SetOffsets, int32_t& X, int32_t& Y) {
    int32_t sx = 0, sy = 0;
    OffsetImage(SetOffsets, X, Y, sx, sy);
}

void aicAlphaImage::OffsetImage(bool SetOffsets, int32_t& X, int32_t& Y, int32_t& ShadowX,
                                int32_t& ShadowY) {
    if (!SetOffsets) {
        X = imageOffsetX_;
        Y = imageOffsetY_;
        ShadowX = shadowOffsetX_;
        ShadowY = shadowOffsetY_;
        return;
    }
    // The hit shape moves with the picture, by the change of the offsets.
    const int32_t dx = X - imageOffsetX_;
    const int32_t dy = Y - imageOffsetY_;
    imageOffsetX_ = X;
    imageOffsetY_ = Y;
    if (ShadowX != 0) shadowOffsetX_ = ShadowX;
    if (ShadowY != 0) shadowOffsetY_ = ShadowY;
    MoveHitShape(dx, dy);
    Repaint();
}

bool aicAlphaImage::GDIplusInitialized() const {
    return shared_ && shared_->gdiToken() != 0;
}

bool aicAlphaImage::GDIplusEnabled() const {
    return image_->isGDIplusEnabled();
}

// --- Mask, mirror and the step after a load ----------------------------------------------

void aicAlphaImage::RemoveMask() {
    uint32_t rgb = TranslateColor(appliedMaskColor_);
    if (Flag(kInversedImage)) rgb ^= 0xFFFFFF;
    const uint32_t pixel =
        0xFF000000u | ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
    ByteArray bytes;
    if (!image_->GetDIBbits(bytes, false, true, true, true, true)) return;
    PixelsChanged();
    for (size_t i = 0; i + 4 <= bytes.bytes.size(); i += 4) {
        if (bytes.bytes[i + 3] != 0) continue;
        bytes.bytes[i] = static_cast<uint8_t>(pixel);
        bytes.bytes[i + 1] = static_cast<uint8_t>(pixel >> 8);
        bytes.bytes[i + 2] = static_cast<uint8_t>(pixel >> 16);
        bytes.bytes[i + 3] = 0xFF;
    }
    image_->SetDIBbits(bytes.bytes, true, true, true, true);
}

void aicAlphaImage::ApplyMirror(int32_t t) {
    const int32_t diff = t ^ mirror_;
    if (diff != 0) PixelsChanged();
    image_->MirrorImage((diff & 1) != 0, (diff & 2) != 0);
}

void aicAlphaImage::ApplyLoadedImage() {
    PixelsChanged();
    ApplyMirror(0);
    if (maskActive_) {
        if (image_->Alpha()) {
            maskActive_ = false;
            maskUsed_ = 0;
            PropertyChanged("MaskUsed");
        } else {
            if (maskUsed_ >= 2 && maskUsed_ <= 5) {
                const int32_t x = (maskUsed_ == 3 || maskUsed_ == 5) ? image_->Width() - 1 : 0;
                const int32_t y = (maskUsed_ == 4 || maskUsed_ == 5) ? image_->Height() - 1 : 0;
                appliedMaskColor_ = image_->GetPixel(x, y);
            }
            image_->MakeTransparent(TranslateColor(appliedMaskColor_), false);
        }
    }
    if (Flag(kInversedImage)) image_->MakeImageInverse();
    RelayoutAndRefresh();
}

void aicAlphaImage::Rebuild() {
    if (!BuildBackBuffer(false, true)) BuildHitRegion();
    if (Flag(kShadowEnabled)) BuildShadowImage();
    Repaint();
}

// --- Properties -------------------------------------------------------------------------

bool aicAlphaImage::AutoRedraw() const {
    return Flag(kAutoRedraw);
}

void aicAlphaImage::AutoRedraw(bool v) {
    if (v == Flag(kAutoRedraw)) return;
    flags_ ^= kAutoRedraw;
    if (RunTime()) {
        flags_ ^= kBackBufferInUse;
        if (!Flag(kBackBufferInUse)) backBuffer_.reset();
    }
    PropertyChanged("AutoRedraw");
}

void aicAlphaImage::HitTest(int32_t v) {
    if (v < 0 || v > 3) return;
    hitTest_ = v;
    BuildHitRegion();
    PropertyChanged("HitTest");
}

void aicAlphaImage::MaskColor(int32_t v) {
    if (maskActive_ && maskUsed_ == 1) {
        RemoveMask();
        uint32_t rgb = TranslateColor(v);
        if (Flag(kInversedImage)) rgb ^= 0xFFFFFF;
        image_->MakeTransparent(rgb, false);
        PixelsChanged();
        appliedMaskColor_ = v;
        Rebuild();
    }
    maskColor_ = v;
    PropertyChanged("MaskColor");
}

void aicAlphaImage::MaskUsed(int32_t Style) {
    if (image_->Alpha() && !maskActive_) return;
    if (Style < 0 || Style > 5 || Style == maskUsed_) return;
    if (image_->ImageType() == imgCheckerBoard) return;
    if (maskActive_) RemoveMask();
    if (Style == 0) {
        maskActive_ = false;
    } else {
        const bool inversed = Flag(kInversedImage);
        uint32_t remove = 0;
        if (Style == 1) {
            appliedMaskColor_ = maskColor_;
            remove = TranslateColor(maskColor_);
            if (inversed) remove ^= 0xFFFFFF;
        } else {
            const int32_t x = (Style == 3 || Style == 5) ? image_->Width() - 1 : 0;
            const int32_t y = (Style == 4 || Style == 5) ? image_->Height() - 1 : 0;
            const int32_t corner = image_->GetPixel(x, y);
            remove = static_cast<uint32_t>(corner);
            appliedMaskColor_ = inversed ? (corner ^ 0xFFFFFF) : corner;
            if (!inversed) remove = TranslateColor(appliedMaskColor_);
        }
        maskActive_ = true;
        image_->MakeTransparent(remove, false);
        PixelsChanged();
    }
    Rebuild();
    maskUsed_ = Style;
    PropertyChanged("MaskUsed");
}

bool aicAlphaImage::InversedImage() const {
    return Flag(kInversedImage);
}

void aicAlphaImage::InversedImage(bool v) {
    if (v == Flag(kInversedImage)) return;
    flags_ ^= kInversedImage;
    image_->MakeImageInverse();
    PixelsChanged();
    PropertyChanged("InversedImage");
    BuildBackBuffer(false, false);
    Repaint();
}

bool aicAlphaImage::AutoSize() const {
    return Flag(kAutoSize);
}

void aicAlphaImage::AutoSize(bool v) {
    if (v == Flag(kAutoSize)) return;
    flags_ ^= kAutoSize;
    RelayoutAndRefresh();
    PropertyChanged("AutoSize");
}

void aicAlphaImage::ScaleMethod(int32_t v) {
    scaleMethod_ = v;
    RelayoutAndRefresh();
    PropertyChanged("Stretch");
}

bool aicAlphaImage::StretchQuality() const {
    return Flag(kStretchQuality);
}

void aicAlphaImage::StretchQuality(bool v) {
    if (v == Flag(kStretchQuality)) return;
    flags_ ^= kStretchQuality;
    image_->HighQualityInterpolation(v);
    Repaint();
    PropertyChanged("StretchQuality");
}

void aicAlphaImage::Opacity(int32_t v) {
    if (v != 0) {
        // |v| in 64 bits, so the most negative value cannot overflow.
        v = static_cast<int32_t>(std::llabs(static_cast<long long>(v)) % 100);
        if (v == 0) v = 100;
    }
    opacity_ = v;
    PropertyChanged("Opacity");
    Repaint();
}

void aicAlphaImage::Mirror(int32_t v) {
    if (v < 0 || v > 3) return;
    ApplyMirror(v);
    mirror_ = v;
    Rebuild();
    PropertyChanged("Mirror");
}

bool aicAlphaImage::KeepOriginalFormat() const {
    return Flag(kKeepOriginalFormat);
}

void aicAlphaImage::KeepOriginalFormat(bool v) {
    if (v == Flag(kKeepOriginalFormat)) return;
    flags_ ^= kKeepOriginalFormat;
    PropertyChanged("KeepOriginalFormat");
}

void aicAlphaImage::GrayScale(int32_t v) {
    if (v < 0 || v > 8 || v == grayScaleMethod_ + 1) return;
    grayScaleMethod_ = v - 1;
    Repaint();
    PropertyChanged("GrayScale");
}

bool aicAlphaImage::RotateEnabled() const {
    return Flag(kRotateEnabled);
}

void aicAlphaImage::RotateEnabled(bool v) {
    if (v == Flag(kRotateEnabled)) return;
    flags_ ^= kRotateEnabled;
    RelayoutAndRefresh();
    PropertyChanged("RotateEnabled");
}

void aicAlphaImage::Rotation(int32_t v) {
    v %= 360; // the sign of v is kept
    if (v == rotation_) return;
    rotation_ = v;
    if (Flag(kRotateEnabled)) {
        Rebuild();
        PropertyChanged("Rotation");
    }
}

void aicAlphaImage::Enabled(bool v) {
    if (v == Enabled()) return;
    UserControl::Enabled(v);
    if (RunTime() && shared_) {
        if (v) {
            shared_->AddRef(Identity());
        } else {
            if (Tag() == "Timer") timers_.Kill(containerHwnd_, MouseTimerId());
            Tag("");
            shared_->RemoveRef(Identity());
        }
    }
    if (RunTime()) BuildHitRegion();
    PropertyChanged("Enabled");
}

bool aicAlphaImage::ShadowEnabled() const {
    return Flag(kShadowEnabled);
}

void aicAlphaImage::ShadowEnabled(bool v) {
    if (v == Flag(kShadowEnabled)) return;
    flags_ ^= kShadowEnabled;
    BuildShadowImage();
    PropertyChanged("ShadowEnabled");
    Repaint();
}

void aicAlphaImage::ShadowColor(int32_t v) {
    if (v == shadowColor_) return;
    shadowColor_ = v;
    BuildShadowImage();
    PropertyChanged("ShadowColor");
    Repaint();
}

void aicAlphaImage::ShadowOffsetX(int32_t v) {
    if (v == shadowOffsetX_) return;
    shadowOffsetX_ = v;
    if (Flag(kShadowEnabled)) Repaint();
    PropertyChanged("ShadowOffsetX");
}

void aicAlphaImage::ShadowOffsetY(int32_t v) {
    if (v == shadowOffsetY_) return;
    shadowOffsetY_ = v;
    if (Flag(kShadowEnabled)) Repaint();
    PropertyChanged("ShadowOffsetY");
}

void aicAlphaImage::ShadowDepth(int32_t v) {
    if (v < 0 || v > 10 || v == shadowDepth_) return;
    shadowDepth_ = v;
    BuildShadowImage();
    PropertyChanged("ShadowDepth");
    Repaint();
}

void aicAlphaImage::ShadowOpacity(int32_t v) {
    if (v < 0 || v > 100 || v == shadowOpacity_) return;
    shadowOpacity_ = v;
    if (Flag(kShadowEnabled)) Repaint();
    PropertyChanged("ShadowOpacity");
}

void aicAlphaImage::MousePointer(int32_t v) {
    if (v >= INT16_MIN && v <= INT16_MAX) UserControl::MousePointer(static_cast<int16_t>(v));
    PropertyChanged("MousePointer");
}

void aicAlphaImage::MouseIcon(forms::Picture v) {
    UserControl::MouseIcon(std::move(v));
    PropertyChanged("MouseIcon");
}

void aicAlphaImage::OLEDropMode(int32_t v) {
    if (v >= INT16_MIN && v <= INT16_MAX) UserControl::OLEDropMode(static_cast<int16_t>(v));
    PropertyChanged("OLEDropMode");
}

void aicAlphaImage::IntensityOffset(float v) {
    if (!(v >= -100.0f && v <= 100.0f) || v == intensityOffset_) return;
    intensityOffset_ = v;
    PropertyChanged("Intensity");
    Repaint();
}

} // namespace moirelle::control
