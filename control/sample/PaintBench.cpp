// One paint of a 1024 x 64 texture stretched over a 1024 x 40 control (the overlay's case),
// against the least any paint of those pixels can cost: one AlphaBlend of the already
// scaled, premultiplied pixels. Both draw into the same 32-bpp memory surface; each is
// timed over batches of paints, and the best batch counts (the least disturbed by the rest
// of the machine). The control is measured with and without its back buffer (AutoRedraw).

#include "PaintBench.h"

#include "DemoPictures.h"
#include "control/aicAlphaImage.h"
#include "forms/DibSection.h"
#include "forms/Form.h"
#include "platform/win/Handles.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

namespace moirelle::demo {
namespace {

constexpr int kTextureWidth = 1024, kTextureHeight = 64;
constexpr int kControlWidth = 1024, kControlHeight = 40;
constexpr int kPaintsPerBatch = 100, kBatches = 7;

class BenchForm : public forms::Form {
  public:
    BenchForm()
        : Form({.caption = "paint bench",
                .left = 0,
                .top = 0,
                .width = (kControlWidth + 16) * 15,
                .height = (kControlHeight + 16) * 15,
                .borderStyle = 0,
                .backColor = 0x808080}) {}
    forms::Hosted<control::aicAlphaImage> aicFX{
        *this, {0, 0, kControlWidth * 15, kControlHeight * 15}, forms::PropertyBag{}};
};

// A control-sized 32-bpp surface selected into a memory device context.
struct Surface {
    uint32_t* bits = nullptr;
    win::UniqueBitmap bitmap = forms::CreateDibSection32(kControlWidth, kControlHeight, &bits);
    win::UniqueMemoryDC dc{CreateCompatibleDC(nullptr)};
    HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    ~Surface() { SelectObject(dc.get(), old); }
    void Fill(uint32_t pixel) {
        GdiFlush();
        std::fill(bits, bits + kControlWidth * kControlHeight, pixel);
    }
};

// Microseconds per call of the best batch.
double BestMicroseconds(const std::function<void()>& paint) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double best = 1e300;
    for (int batch = 0; batch < kBatches; ++batch) {
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kPaintsPerBatch; ++i)
            paint();
        GdiFlush();
        QueryPerformanceCounter(&end);
        best = std::min(best, static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                                  static_cast<double>(frequency.QuadPart) / kPaintsPerBatch);
    }
    return best;
}

} // namespace

int RunPaintBench(const std::wstring& reportPath) {
    BenchForm form;
    form.Load();
    control::aicAlphaImage& aic = form.aicFX;
    aic.ScaleMethod(control::StretchToFit);
    if (!aic.LoadImage_FromArray(StripPng(kTextureWidth, kTextureHeight))) return 1;

    Surface target, scaled;
    // The pixels as the control scales them, premultiplied: its paint over nothing.
    scaled.Fill(0);
    aic.Paint(scaled.dc.get());
    GdiFlush();
    if (std::none_of(scaled.bits, scaled.bits + kControlWidth * kControlHeight,
                     [](uint32_t p) { return p != 0; }))
        return 1; // the control drew nothing: no measurement
    target.Fill(0xFF808080);

    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const double alphaBlend = BestMicroseconds([&] {
        AlphaBlend(target.dc.get(), 0, 0, kControlWidth, kControlHeight, scaled.dc.get(), 0, 0,
                   kControlWidth, kControlHeight, blend);
    });
    const auto controlPaint = [&] {
        int saved = SaveDC(target.dc.get());
        IntersectClipRect(target.dc.get(), 0, 0, kControlWidth, kControlHeight);
        aic.Paint(target.dc.get());
        RestoreDC(target.dc.get(), saved);
    };
    aic.AutoRedraw(false);
    const double direct = BestMicroseconds(controlPaint);
    aic.AutoRedraw(true);
    aic.ScaleMethod(control::StretchToFit); // the layout builds the back buffer
    controlPaint();
    const double buffered = BestMicroseconds(controlPaint);

    FILE* out = _wfopen(reportPath.c_str(), L"w");
    if (!out) return 1;
    std::fprintf(out,
                 "paint of a %dx%d texture stretched over a %dx%d control (best of %d batches "
                 "of %d)\n",
                 kTextureWidth, kTextureHeight, kControlWidth, kControlHeight, kBatches,
                 kPaintsPerBatch);
    std::fprintf(out, "  AlphaBlend of the scaled pixels    %9.1f us   1.00\n", alphaBlend);
    std::fprintf(out, "  control paint                      %9.1f us  %5.2f\n", direct,
                 direct / alphaBlend);
    std::fprintf(out, "  control paint, AutoRedraw          %9.1f us  %5.2f%s\n", buffered,
                 buffered / alphaBlend, aic.HasBackBuffer() ? "" : " (no back buffer was made)");
    std::fprintf(out, "  (GDI+ %s)\n", aic.GDIplusInitialized() ? "started" : "not started");
    std::fclose(out);
    return 0;
}

} // namespace moirelle::demo
