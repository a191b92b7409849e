// One paint of a 1024 x 64 texture stretched over a 1024 x 40 control (the overlay's case),
// against the least any paint of those pixels can cost: one AlphaBlend of the already
// scaled, premultiplied pixels. All draw into the same 32-bpp memory surface; each is timed
// over batches of paints, the three kinds taking turns batch by batch so that they meet the
// same load, and the best batch of each counts (the least disturbed by the rest of the
// machine). The control is measured with and without its back buffer (AutoRedraw), both
// with a layout that does not change between paints; the paints' pixels are compared with
// a fresh scale of the texture.

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
#include <vector>

namespace moirelle::demo {
namespace {

constexpr int kTextureWidth = 1024, kTextureHeight = 64;
constexpr int kControlWidth = 1024, kControlHeight = 40;
constexpr int kPaintsPerBatch = 50, kBatches = 21;

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
    // The same with its back buffer (AutoRedraw).
    forms::Hosted<control::aicAlphaImage> buffered{
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

// Microseconds per call of one batch.
double BatchMicroseconds(const std::function<void()>& paint) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kPaintsPerBatch; ++i)
        paint();
    GdiFlush();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
           static_cast<double>(frequency.QuadPart) / kPaintsPerBatch;
}

// The best batch of each job, the jobs taking turns.
std::vector<double> BestMicroseconds(const std::vector<std::function<void()>>& jobs) {
    std::vector<double> best(jobs.size(), 1e300);
    for (int batch = 0; batch < kBatches; ++batch)
        for (size_t j = 0; j < jobs.size(); ++j)
            best[j] = std::min(best[j], BatchMicroseconds(jobs[j]));
    return best;
}

} // namespace

int RunPaintBench(const std::wstring& reportPath) {
    BenchForm form;
    form.Load();
    control::aicAlphaImage& aic = form.aicFX;
    control::aicAlphaImage& buffered = form.buffered;
    buffered.AutoRedraw(true);
    const std::vector<uint8_t> texture = StripPng(kTextureWidth, kTextureHeight);
    for (control::aicAlphaImage* c : {&aic, &buffered}) {
        c->ScaleMethod(control::StretchToFit);
        if (!c->LoadImage_FromArray(texture)) return 1;
    }

    Surface target, scaled;
    // The pixels scaled afresh, premultiplied: the image drawn over nothing at the size
    // the layout gave it.
    scaled.Fill(0);
    const auto layout = aic.CurrentLayout();
    aic.Image().Render(scaled.dc.get(), layout.DrawLeft, layout.DrawTop, layout.DrawWidth,
                       layout.DrawHeight);
    GdiFlush();
    if (std::none_of(scaled.bits, scaled.bits + kControlWidth * kControlHeight,
                     [](uint32_t p) { return p != 0; }))
        return 1; // nothing was drawn: no measurement
    // The controls' paints over nothing, against those pixels.
    const auto samePixels = [&](control::aicAlphaImage& c) {
        target.Fill(0);
        c.Paint(target.dc.get());
        GdiFlush();
        return std::equal(target.bits, target.bits + kControlWidth * kControlHeight, scaled.bits);
    };
    const bool directSame = samePixels(aic);
    const bool bufferedSame = samePixels(buffered);
    target.Fill(0xFF808080);

    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const auto paintOf = [&](control::aicAlphaImage& c) {
        return [&target, &c] {
            int saved = SaveDC(target.dc.get());
            IntersectClipRect(target.dc.get(), 0, 0, kControlWidth, kControlHeight);
            c.Paint(target.dc.get());
            RestoreDC(target.dc.get(), saved);
        };
    };
    const std::vector<double> best = BestMicroseconds({
        [&] {
            AlphaBlend(target.dc.get(), 0, 0, kControlWidth, kControlHeight, scaled.dc.get(), 0, 0,
                       kControlWidth, kControlHeight, blend);
        },
        paintOf(aic),
        paintOf(buffered),
    });
    const double alphaBlend = best[0], direct = best[1], cached = best[2];

    FILE* out = _wfopen(reportPath.c_str(), L"w");
    if (!out) return 1;
    std::fprintf(out,
                 "paint of a %dx%d texture stretched over a %dx%d control (best of %d batches "
                 "of %d)\n",
                 kTextureWidth, kTextureHeight, kControlWidth, kControlHeight, kBatches,
                 kPaintsPerBatch);
    std::fprintf(out, "  AlphaBlend of the scaled pixels    %9.1f us   1.00\n", alphaBlend);
    std::fprintf(out, "  control paint                      %9.1f us  %5.2f  %s\n", direct,
                 direct / alphaBlend, directSame ? "same pixels" : "PIXELS DIFFER");
    std::fprintf(out, "  control paint, AutoRedraw          %9.1f us  %5.2f  %s%s\n", cached,
                 cached / alphaBlend, bufferedSame ? "same pixels" : "PIXELS DIFFER",
                 buffered.HasBackBuffer() ? "" : " (no back buffer was made)");
    std::fprintf(out, "  (GDI+ %s)\n", aic.GDIplusInitialized() ? "started" : "not started");
    std::fclose(out);
    return 0;
}

} // namespace moirelle::demo
