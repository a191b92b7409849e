#include "tests/support/FailingNew.h"

#include <cstdlib>
#include <new>

namespace {
thread_local int newsBeforeFailure = -1;
} // namespace

namespace moirelle::test {

void FailNewAfter(int count) {
    newsBeforeFailure = count;
}

bool NewFailureCame() {
    return newsBeforeFailure < 0;
}

} // namespace moirelle::test

// None of these is inlined: the compiler would take malloc() and free() seen beside
// `new` and `delete` for a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
    if (newsBeforeFailure >= 0 && newsBeforeFailure-- == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
