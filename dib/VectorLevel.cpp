#include "dib/VectorLevel.h"

#include "dib/RenderKernels.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#define MOIRELLE_X86_LEVELS 1
#endif

namespace moirelle {
namespace {

#ifdef MOIRELLE_X86_LEVELS
// XCR0: which register states the system saves on a task switch.
uint64_t ExtendedControlRegister0() {
    uint32_t lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<uint64_t>(hi) << 32) | lo;
}

VectorLevel DetectLevel() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return VectorLevel::Sse2;
    const bool osSavesYmm = (c & bit_OSXSAVE) && (c & bit_AVX) &&
                            (ExtendedControlRegister0() & 0x6) == 0x6; // XMM and YMM state
    if (!osSavesYmm || __get_cpuid_max(0, nullptr) < 7) return VectorLevel::Sse2;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & bit_AVX2) ? VectorLevel::Avx2 : VectorLevel::Sse2;
}
#else
VectorLevel DetectLevel() {
    return VectorLevel::Portable;
}
#endif

VectorLevel LevelFromEnvironment(VectorLevel best) {
    const char* asked = std::getenv("MOIRELLE_VECTOR_LEVEL");
    if (!asked) return best;
    for (VectorLevel l : {VectorLevel::Portable, VectorLevel::Sse2, VectorLevel::Avx2})
        if (std::strcmp(asked, VectorLevelName(l)) == 0) return l < best ? l : best;
    return best;
}

const RenderKernels* TableFor(VectorLevel level) {
    switch (level) {
#ifdef MOIRELLE_X86_LEVELS
    case VectorLevel::Avx2:
        return &Avx2RenderKernels();
    case VectorLevel::Sse2:
        return &Sse2RenderKernels();
#endif
    default:
        return &PortableRenderKernels();
    }
}

VectorLevel ProcessorLevelOnce() {
    static const VectorLevel level = DetectLevel();
    return level;
}

std::atomic<const RenderKernels*>& ActiveTable() {
    static std::atomic<const RenderKernels*> table{
        TableFor(LevelFromEnvironment(ProcessorLevelOnce()))};
    return table;
}

} // namespace

VectorLevel ProcessorVectorLevel() {
    return ProcessorLevelOnce();
}

VectorLevel ActiveVectorLevel() {
    return ActiveTable().load(std::memory_order_relaxed)->level;
}

VectorLevel UseVectorLevel(VectorLevel level) {
    if (level > ProcessorVectorLevel()) level = ProcessorVectorLevel();
    if (level < VectorLevel::Portable) level = VectorLevel::Portable;
    ActiveTable().store(TableFor(level), std::memory_order_relaxed);
    return level;
}

std::vector<VectorLevel> AvailableVectorLevels() {
    std::vector<VectorLevel> levels;
    for (int32_t l = 0; l <= static_cast<int32_t>(ProcessorVectorLevel()); ++l)
        levels.push_back(static_cast<VectorLevel>(l));
    return levels;
}

const char* VectorLevelName(VectorLevel level) {
    switch (level) {
    case VectorLevel::Avx2:
        return "avx2";
    case VectorLevel::Sse2:
        return "sse2";
    default:
        return "portable";
    }
}

const RenderKernels& ActiveRenderKernels() {
    return *ActiveTable().load(std::memory_order_relaxed);
}

} // namespace moirelle
