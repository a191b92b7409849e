#pragma once
// The software rotation: resamples a source rectangle, scaled to the destination size
// and turned by whole degrees, into a square canvas whose side is the destination
// rectangle's diagonal. The canvas is then drawn centred on the destination rectangle.

#include "dib/MirrorSource.h"
#include "dib/PixelView.h"

#include <cstdint>

namespace moirelle {

// round(Angle) modulo 360 (sign of the angle kept), rounding ties to even.
int32_t WholeDegrees(float Angle);

// Side of the canvas: round(sqrt(destWidth^2 + destHeight^2)); 0 when it does not fit
// 32 bits.
int32_t RotatedCanvasSize(int32_t destWidth, int32_t destHeight);

struct RotateJob {
    PixelView source;
    SourceRect rect;        // source rectangle, picture coordinates, inside the source
    int32_t destWidth = 0;  // positive destination size
    int32_t destHeight = 0; // positive destination size
    int32_t angle = 0;      // whole degrees; positive turns clockwise on screen
    bool highQuality = false;
    // The part of the canvas that is sampled, in canvas picture coordinates (top-left
    // origin, right and bottom excluded); the rest stays as it is. Positions along a row
    // are still stepped from the row's first pixel, so every sampled pixel is the same as
    // in a whole canvas.
    SourceRect window{0, 0, -1, -1}; // width < 0: the whole canvas
};

// Fills `canvas` (D x D, all transparent on entry). For canvas pixel (u, v), v counted
// bottom-up, the source position is
//   x = u - offX + rect.x,  y = v - offY + b       (b: storage row of the rectangle's bottom)
//   sx = (x - cx) cos t / scaleX + (y - cy) sin t / scaleX + cx
//   sy = (y - cy) cos t / scaleY - (x - cx) sin t / scaleY + cy
// with t = -angle in radians, cx = rect.x + rect.width / 2, cy = b + rect.height / 2,
// offX = (D - rect.width) / 2, offY = (D - rect.height) / 2 (integer divisions) and
// scale = destination size / source size; along a row sx and sy advance by
// cos t / scaleX and -sin t / scaleY. Positions inside the rectangle are sampled by
// nearest neighbour or bilinearly (dib/BilinearTaps.h); others stay transparent. The
// rectangle's centre therefore lands on the canvas centre wherever the rectangle lies in
// the source. Multiples of 90 degrees use exact sines and cosines.
bool RotateSource(const RotateJob& job, const PixelView& canvas);

// What every canvas row of a rotation needs, worked out once for a canvas of side D.
struct RotatePlan {
    int32_t side = 0;
    double sinT = 0, cosT = 1, scaleX = 1, scaleY = 1, cx = 0, cy = 0;
    int64_t offX = 0, offY = 0;
    int32_t b = 0;                          // storage row of the rectangle's bottom
    int32_t u0 = 0, u1 = 0, v0 = 0, v1 = 0; // sampled columns; sampled storage rows
};

// False for the jobs RotateSource refuses (side < 1 included).
bool PlanRotation(const RotateJob& job, int32_t side, RotatePlan& plan);

// Samples columns [plan.u0, plan.u1) of canvas storage row v into `row` (the row's first
// pixel) exactly as RotateSource does; the other pixels stay as they are. For rows in
// [plan.v0, plan.v1).
void RotateCanvasRow(const RotateJob& job, const RotatePlan& plan, int32_t v, uint8_t* row);

// The canvas origin that centres it on the destination rectangle:
// dest + destSize / 2 - D / 2 (integer divisions).
inline int32_t RotatedCanvasOrigin(int32_t dest, int32_t destSize, int32_t side) {
    return dest + destSize / 2 - side / 2;
}

} // namespace moirelle
