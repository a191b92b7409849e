#pragma once
// The drop shadow's loops per instruction-set level, entered through the level tables of
// dib/RenderKernels.h (their dropShadow entry). The portable level is the reference.

#include "dib/RenderKernels.h"

namespace moirelle {

bool DropShadowPortable(const ShadowJob& job);
bool DropShadowSse2(const ShadowJob& job);
bool DropShadowAvx2(const ShadowJob& job);

} // namespace moirelle
