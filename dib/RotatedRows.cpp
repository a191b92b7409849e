#include "dib/RotatedRows.h"

#include "dib/DibGeometry.h"

#include <cstring>
#include <new>

namespace moirelle {

bool RotatedRows::Start(const RotateJob& job, int32_t side) {
    plan_ = RotatePlan{};
    int32_t height = 0, bytes = 0;
    if (!NormaliseDibSize(side, side, height, bytes)) return false;
    RotatePlan plan;
    if (!PlanRotation(job, side, plan)) return false;
    try {
        row_.assign(static_cast<size_t>(side) * 4, 0); // unsampled columns stay transparent
    } catch (const std::bad_alloc&) {
        return false;
    }
    job_ = job;
    plan_ = plan;
    return true;
}

const uint8_t* RotatedRows::Row(int32_t y) {
    const int32_t v = plan_.side - 1 - y;
    uint8_t* row = row_.data();
    if (plan_.u0 < plan_.u1) {
        std::memset(row + static_cast<size_t>(plan_.u0) * 4, 0,
                    static_cast<size_t>(plan_.u1 - plan_.u0) * 4);
        if (v >= plan_.v0 && v < plan_.v1) RotateCanvasRow(job_, plan_, v, row);
    }
    return row;
}

} // namespace moirelle
