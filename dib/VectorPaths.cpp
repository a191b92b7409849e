#include "dib/VectorPaths.h"

#include <atomic>

namespace moirelle {
namespace {

std::atomic<bool> allowed{true};

bool ProcessorHasAvx2() {
#ifdef MOIRELLE_HAVE_AVX2_PATHS
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

} // namespace

bool Use256BitPaths() {
    return allowed.load(std::memory_order_relaxed) && ProcessorHasAvx2();
}

void Allow256BitPaths(bool allow) {
    allowed.store(allow, std::memory_order_relaxed);
}

} // namespace moirelle
