// A small window that shows the image control at work: one PNG picture with an alpha
// channel over a background picture, shown by five controls with a drop shadow, rotated,
// at half opacity, in grayscale, and one that fades in while the pointer is over it and out
// again when it leaves.
//
//   controldemo.exe                  run until the window is closed
//   controldemo.exe --demo           move the pointer onto the fading ring and away again
//                                    with real input; exit 0 when the ring reported both
//                                    and faded in and out, 1 otherwise
//   controldemo.exe --bench FILE     measure the cost of one paint (see PaintBench.cpp) and
//                                    write the results to FILE

#include "DemoPictures.h"
#include "PaintBench.h"

#include "control/aicAlphaImage.h"
#include "formats/win/modParsersWin.h"
#include "forms/App.h"
#include "forms/DibSection.h"
#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Label.h"
#include "forms/Timer.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace moirelle;
using namespace moirelle::forms;

namespace {

constexpr int kFaded = 35; // the fading ring's opacity while the pointer is elsewhere
constexpr int kTwips = 15; // per pixel
constexpr int kCell = 150; // pixels per control
constexpr int kGap = 24;   // pixels between controls
constexpr int kTop = 56;   // pixels above the controls

// A background of diagonal stripes, so that what is translucent shows.
Picture StripesPicture(int w, int h) {
    uint32_t* bits = nullptr;
    HBITMAP bmp = CreateDibSection32(w, h, &bits).release();
    if (!bmp) return {};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bits[y * w + x] = ((x + y) / 16) % 2 ? 0x2E4A6B : 0xD8D0B0;
    auto picture = modParsers::PictureFromHandle(bmp, modParsers::pictureBitmap);
    if (!picture) {
        DeleteObject(bmp);
        return {};
    }
    return Picture(std::move(picture));
}

Bounds Cell(int column) {
    return {(kGap + column * (kCell + kGap)) * kTwips, kTop * kTwips, kCell * kTwips,
            kCell * kTwips};
}

class FrmControlDemo : public Form {
  public:
    explicit FrmControlDemo(bool demo)
        : Form({.caption = "Moirelle image control demo",
                .width = (kGap + 5 * (kCell + kGap)) * kTwips,
                .height = (kTop + kCell + 110) * kTwips,
                .borderStyle = 1,
                .startUpPosition = 2,
                .backColor = 0x303030}),
          demo_(demo) {
        Background.Stretch(true);
        Title.Caption("One PNG with alpha: shadow, rotation, opacity 50, grayscale, "
                      "fade on pointer");
        Status.Caption("Point at the ring on the right.");
        for (Label* l : {&Title, &Status}) {
            l->BackStyle(vbTransparent);
            l->ForeColor(0xFFFFFF);
            l->Font({.name = "Tahoma", .size = 9.75f, .bold = l == &Title});
        }
    }

    Image Background{*this,
                     {0, 0, (kGap + 5 * (kCell + kGap)) * kTwips, (kTop + kCell + 110) * kTwips}};
    Label Title{*this, {kGap * kTwips, 16 * kTwips, 800 * kTwips, 20 * kTwips}};
    Hosted<control::aicAlphaImage> aicShadow{*this, Cell(0), PropertyBag{}};
    Hosted<control::aicAlphaImage> aicRotated{*this, Cell(1), PropertyBag{}};
    Hosted<control::aicAlphaImage> aicHalf{*this, Cell(2), PropertyBag{}};
    Hosted<control::aicAlphaImage> aicGray{*this, Cell(3), PropertyBag{}};
    Hosted<control::aicAlphaImage> aicFade{*this, Cell(4), PropertyBag{}};
    Label Status{*this, {kGap * kTwips, (kTop + kCell + 20) * kTwips, 800 * kTwips, 80 * kTwips}};
    Timer Script{*this, 0, false};

  protected:
    void Form_Load() override {
        Background.Picture(StripesPicture(kGap + 5 * (kCell + kGap), kTop + kCell + 110));
        const std::vector<uint8_t> ring = demo::RingPng(128);
        for (control::aicAlphaImage* c : {&aicShadow, &aicRotated, &aicHalf, &aicGray, &aicFade}) {
            c->ScaleMethod(control::ShrinkToFit); // 128 px in 150: room for the shadow
            c->LoadImage_FromArray(ring);
        }
        aicShadow.ShadowDepth(6);
        aicShadow.ShadowOpacity(70);
        aicShadow.OffsetShadow(8, 8);
        aicShadow.ShadowEnabled(true);
        aicRotated.RotateEnabled(true);
        aicRotated.Rotation(30);
        aicHalf.Opacity(50);
        aicGray.GrayScale(1);
        aicFade.HitTest(2); // the ring's own shape: its hole does not count
        aicFade.Opacity(kFaded);
        aicFade.MouseEnter = [this] {
            ++entered_;
            Report("The pointer entered the ring: fading in.");
            aicFade.FadeInOut(100, 10, 20);
        };
        aicFade.MouseExit = [this] {
            ++left_;
            Report("The pointer left the ring: fading out.");
            aicFade.FadeInOut(kFaded, 10, 20);
        };
        aicFade.FadeTerminated = [this](int32_t opacity) {
            if (opacity == 100) ++fadedIn_;
            if (opacity == kFaded && entered_ > 0) ++fadedOut_;
            Report("Fade ended at opacity " + std::to_string(opacity) + ".");
        };
        if (demo_) {
            Script.Tick.Bind(this, &FrmControlDemo::Script_Tick);
            Script.Interval(250);
            Script.Enabled(true);
        }
    }
    void Form_QueryUnload(bool&, int16_t) override { App::End(); }

  private:
    void Report(const std::string& line) {
        log_ = log_.empty() ? line : log_ + "\n" + line;
        if (std::count(log_.begin(), log_.end(), '\n') > 3) log_.erase(0, log_.find('\n') + 1);
        Status.Caption(log_);
    }

    // A screen point of the fading ring's bar (opaque), or of the form's title line.
    POINT OnRing() {
        RECT r = aicFade.PixelRect();
        POINT p{(r.left + r.right) / 2 + kCell / 4, (r.top + r.bottom) / 2};
        ClientToScreen(hWnd(), &p);
        return p;
    }
    POINT Elsewhere() {
        POINT p{kGap, kTop + kCell + 60};
        ClientToScreen(hWnd(), &p);
        return p;
    }
    // Real pointer input, in absolute screen positions.
    static void MoveTo(POINT p) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &in, sizeof(INPUT));
    }

    // The demonstration: onto the ring, wait for the fade in; away, wait for the fade out;
    // then the window stays a moment and the program ends with the verdict.
    void Script_Tick() {
        ++ticks_;
        switch (step_) {
        case 0:
            SetForegroundWindow(hWnd());
            MoveTo(Elsewhere());
            step_ = 1;
            break;
        case 1:
            MoveTo(OnRing());
            step_ = 2;
            break;
        case 2:
            if (fadedIn_ > 0) {
                MoveTo(Elsewhere());
                step_ = 3;
            } else if (ticks_ % 8 == 0) {
                // A late report of the old position may have undone the entry; the pointer
                // already rests on the ring, so move it by a pixel to be seen again.
                POINT p = OnRing();
                p.x += (ticks_ / 8) % 2 ? 1 : -1;
                MoveTo(p);
            }
            break;
        case 3:
            if (fadedOut_ > 0) {
                step_ = 4;
                ticks_ = 0;
            } else if (ticks_ % 8 == 0) {
                POINT p = Elsewhere(); // as above, for a late report of the ring's position
                p.x += (ticks_ / 8) % 2 ? 1 : -1;
                MoveTo(p);
            }
            break;
        case 4:
            if (ticks_ >= 8) Finish(0);
            break;
        }
        if (ticks_ > 80) Finish(1); // 20 s without the expected events
    }
    [[noreturn]] void Finish(int code) {
        const bool ok = code == 0 && entered_ > 0 && left_ > 0 && fadedIn_ > 0 && fadedOut_ > 0;
        if (!ok)
            std::fprintf(stderr,
                         "controldemo: stopped at step %d (entered %d, left %d, faded in %d, "
                         "faded out %d)\n",
                         step_, entered_, left_, fadedIn_, fadedOut_);
        ExitProcess(ok ? 0 : 1);
    }

    bool demo_;
    int step_ = 0, ticks_ = 0;
    int entered_ = 0, left_ = 0, fadedIn_ = 0, fadedOut_ = 0;
    std::string log_;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    if (args.size() == 2 && args[0] == L"--bench") return demo::RunPaintBench(args[1]);
    const bool demo = args.size() == 1 && args[0] == L"--demo";
    FrmControlDemo form(demo);
    form.Show();
    return App::Run();
}
