#include "bench/CacheState.h"

#include <cstdint>

#include <emmintrin.h>

namespace moirelle::bench {

void FlushFromCaches(const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    const uintptr_t start = reinterpret_cast<uintptr_t>(p) & ~uintptr_t{63};
    for (uintptr_t line = start; line < reinterpret_cast<uintptr_t>(p) + size; line += 64)
        _mm_clflush(reinterpret_cast<const void*>(line));
    _mm_mfence();
}

} // namespace moirelle::bench
