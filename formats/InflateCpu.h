#pragma once
// Which build of the inflater's decode loop runs. On x86-64 processors with the BMI2
// bit-field instructions a build using them is chosen; otherwise the portable one. Both
// decode identically; tests force the portable one to check it too.

namespace moirelle::inflate {

// True when the processor runs the BMI2 build (unless the portable one is preferred).
bool HasBmi2Loop();
// Process-wide: true makes every later inflate use the portable loop.
void PreferPortableLoop(bool portable);

} // namespace moirelle::inflate
