#include "app/LayeredWindows.h"

#include "platform/win/Handles.h"

#include <algorithm>

namespace moirelle::app {
namespace {

struct Shared {
    LayeredWindows::Block local{};
    LayeredWindows::Block* block = &local;
    win::UniqueKernelHandle mapping;
    win::UniqueMappedView view;
};

Shared& State() {
    static Shared state;
    return state;
}

uint64_t Key(HWND hwnd) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(hwnd));
}

} // namespace

void LayeredWindows::Note(HWND hwnd, bool layered) {
    if (!hwnd) return;
    Block& b = *State().block;
    uint64_t* end = b.windows + std::min<uint32_t>(b.count, kCapacity);
    uint64_t* at = std::find(b.windows, end, Key(hwnd));
    if (layered) {
        if (at != end) return;
        // Windows gone with a restarted shell make room.
        for (uint32_t i = b.count; i-- > 0;)
            if (!IsWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(b.windows[i]))))
                b.windows[i] = b.windows[--b.count];
        if (b.count < kCapacity) b.windows[b.count++] = Key(hwnd);
    } else if (at != end) {
        *at = *(end - 1);
        --b.count;
    }
}

std::vector<HWND> LayeredWindows::Listed() {
    return ListedIn(*State().block);
}

HANDLE LayeredWindows::Share() {
    Shared& s = State();
    if (s.mapping) return s.mapping.get();
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    win::UniqueKernelHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, &inherit,
                                                       PAGE_READWRITE, 0, sizeof(Block), nullptr));
    if (!mapping) return nullptr;
    win::UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(Block)));
    if (!view) return nullptr;
    auto* block = static_cast<Block*>(view.get());
    *block = s.local;
    s.block = block;
    s.mapping = std::move(mapping);
    s.view = std::move(view);
    return s.mapping.get();
}

std::vector<HWND> LayeredWindows::ListedIn(const Block& block) {
    std::vector<HWND> windows;
    for (uint32_t i = 0; i < std::min<uint32_t>(block.count, kCapacity); ++i)
        windows.push_back(reinterpret_cast<HWND>(static_cast<uintptr_t>(block.windows[i])));
    return windows;
}

void LayeredWindows::Restore(const std::vector<HWND>& windows) {
    for (HWND hwnd : windows) {
        if (!IsWindow(hwnd)) continue;
        LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
        if (style & WS_EX_LAYERED)
            SetWindowLongPtrW(hwnd, GWL_EXSTYLE, style & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        RedrawWindow(hwnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    }
}

} // namespace moirelle::app
