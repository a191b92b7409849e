#pragma once
// How far the renderer's output may lie from pixman's, worked out from the two rules, and
// the checks that hold the bench to it.
//
// Where our rules sample: the output pixel X of storage row J (rows bottom-up, as pixman
// sees our buffers too) takes its sample at (ex, ey) = (a X + b J + c, d X + e J + f) in
// source storage coordinates; bilinear samples interpolate between columns floor(ex) and
// floor(ex) + 1 and storage rows floor(ey) and floor(ey) + 1 (the last column and the top
// row alone at the edges, dib/BilinearTaps.h), nearest samples take the pixel at
// (floor(ex), floor(ey)). pixman's transform is fitted so that it maps the pixel centre
// (X + 1/2, J + 1/2) to (ex + 1/2, ey + 1/2) for bilinear (it interpolates about
// v - 1/2, and its padded edges give the lone edge pixel) and to (ex, ey) + 2^-15 for
// nearest (it takes floor(v - 2^-16)).
//
// The bounds:
// - src-over: ours truncates d (255 - a) / 255, pixman rounds it: at most 1 apart.
// - constant alpha op: ours is floor((d k + s op) / 255) with k = 255 - floor(a op / 255);
//   pixman rounds s op / 255, a op / 255 and d (255 - a') / 255 in turn. Against the exact
//   value X of ours' formula ours lies in (X - 1, X] and pixman in [X - 2, X + 1]: at most
//   2 apart.
// - bilinear: ours is floor(V), V the exact weighted sum; pixman is floor(V') with weights
//   of 7 bits (truncated, 1/128 off at most per axis) at positions carried in 16.16 fixed
//   point: a row starts from the fixed-point matrix times the pixel centre and steps by its
//   first column, so a position is off by at most |m - m_fixed| summed over the entries
//   times the output's width and height, plus 2^-16 of rounding (`drift`, from the actual
//   entries). The sum is linear in each weight with slope at most 255, so
//   |V - V'| <= 255 (2/128 + driftX + driftY) and the bytes differ by at most its floor + 1.
//   Over a transparent destination the blend adds nothing.
// - nearest: both take the same pixel wherever the position lies farther than the drift
//   from a pixel edge; there the bytes are equal, elsewhere not compared.

#include "dib/PixelView.h"

#include <pixman.h>

#include <cstdint>
#include <string>

namespace moirelle::bench {

struct SampleMap {
    double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    int32_t width = 0, height = 0; // the output's size
    bool bilinear = true;
    double Ex(double x, double j) const { return a * x + b * j + c; }
    double Ey(double x, double j) const { return d * x + e * j + f; }
};

// The source `sw` x `sh` scaled to `w` x `h` (the whole picture, no clipping).
SampleMap ScaleSampleMap(bool bilinear, int32_t sw, int32_t sh, int32_t w, int32_t h);
// A bilinear turn by `degrees` of a w x h picture about its centre, drawn onto a w x h
// destination at the origin.
SampleMap RotationSampleMap(int32_t degrees, int32_t w, int32_t h);

// pixman's transform fitted to `map`, and how far its positions drift from the map's.
struct FittedTransform {
    pixman_transform_t fixed;
    double driftX = 0, driftY = 0;
};
FittedTransform FitPixmanTransform(const SampleMap& map);

int BlendBound(uint32_t op);
int BilinearBound(const FittedTransform& t);

// Bilinear outputs: every byte within BilinearBound.
void RequireBilinearWithin(const std::string& what, const std::string& peer, const PixelView& ours,
                           const PixelView& theirs, const FittedTransform& t);
// Nearest outputs: equal wherever the position lies clear of a pixel edge.
void RequireSameWhereUnambiguous(const std::string& what, const std::string& peer,
                                 const PixelView& ours, const PixelView& theirs,
                                 const SampleMap& map, const FittedTransform& t);
// Turned outputs: within BilinearBound where the sample lies inside a source of
// sw x sh, a pixel and the drift away from its edges.
void RequireWithinInside(const std::string& what, const std::string& peer, const PixelView& ours,
                         const PixelView& theirs, const SampleMap& map, const FittedTransform& t,
                         int32_t sw, int32_t sh);

} // namespace moirelle::bench
