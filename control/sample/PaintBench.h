#pragma once
// What one paint of the image control costs, against a plain AlphaBlend of the same pixels.

#include <string>

namespace moirelle::demo {

// Measures, writes the results to `reportPath` (and answers 0), or answers 1 when the
// control could not be set up.
int RunPaintBench(const std::wstring& reportPath);

} // namespace moirelle::demo
