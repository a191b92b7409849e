#pragma once
// The one switch over the pixel loops' instruction sets. Every vectorised loop of the
// renderer lives in a table per level (dib/RenderKernels.h); the level in force picks
// the table. At start the level is the best the processor offers (AVX2 needs the
// processor's flag and the system's saving of the 256-bit registers), capped by the
// environment variable MOIRELLE_VECTOR_LEVEL ("portable", "sse2" or "avx2") when it is
// set. Tests and benchmarks set it to run the same work on every level.

#include <cstdint>
#include <vector>

namespace moirelle {

enum class VectorLevel : int32_t {
    Portable = 0, // plain C++ loops
    Sse2 = 1,     // 128-bit forms (always there on x86-64)
    Avx2 = 2,     // 256-bit forms
};

// The best level this build has and this processor runs.
VectorLevel ProcessorVectorLevel();
// The level in force.
VectorLevel ActiveVectorLevel();
// Sets the level in force, lowered to ProcessorVectorLevel() when above it; answers the
// level now in force.
VectorLevel UseVectorLevel(VectorLevel level);
// Every level from Portable up to ProcessorVectorLevel().
std::vector<VectorLevel> AvailableVectorLevels();
const char* VectorLevelName(VectorLevel level);

// Sets a level for a scope and puts the previous one back at its end.
class ScopedVectorLevel {
  public:
    explicit ScopedVectorLevel(VectorLevel level) : previous_(ActiveVectorLevel()) {
        UseVectorLevel(level);
    }
    ~ScopedVectorLevel() { UseVectorLevel(previous_); }
    ScopedVectorLevel(const ScopedVectorLevel&) = delete;
    ScopedVectorLevel& operator=(const ScopedVectorLevel&) = delete;

  private:
    VectorLevel previous_;
};

} // namespace moirelle
