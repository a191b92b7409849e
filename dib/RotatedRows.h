#pragma once
// The rotated canvas handed to the blend one row at a time: each row is sampled into a
// single reused row of pixels when the blend asks for it, so no D x D canvas is made.

#include "dib/RotateSource.h"
#include "dib/SourceRows.h"

#include <cstdint>
#include <vector>

namespace moirelle {

class RotatedRows final : public SourceRows {
  public:
    // False for a job RotateSource refuses, a canvas the image size rules refuse, or
    // when memory runs out. `job.source` must stay valid while rows are asked for.
    bool Start(const RotateJob& job, int32_t side);
    int32_t Width() const override { return plan_.side; }
    int32_t Height() const override { return plan_.side; }
    // Picture row y of the canvas RotateSource would fill, the same bytes.
    const uint8_t* Row(int32_t y) override;

  private:
    RotateJob job_;
    RotatePlan plan_;
    std::vector<uint8_t> row_;
};

} // namespace moirelle
