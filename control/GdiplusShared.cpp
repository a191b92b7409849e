#include "control/GdiplusShared.h"

#include "gdiplus/GdiplusFlat.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace moirelle::control {
namespace {

using StartupFn = gdip::GpStatus(WINAPI*)(ULONG_PTR*, const gdip::StartupInput*, void*);
using ShutdownFn = void(WINAPI*)(ULONG_PTR);

constexpr UINT_PTR kMarkerSubclassId = 1;

// What the marker's procedure needs once the program's objects may all be gone.
struct ShutdownBlock {
    int nesting = 0;         // calls of the marker's procedure on the stack
    bool destroyed = false;  // the marker has seen WM_DESTROY
    bool subclassed = false; // the marker still calls MarkerProc
    UINT_PTR timer = 0;      // the shutdown timer, once set
    ULONG_PTR token = 0;
    ShutdownFn shutdown = nullptr;
    win::UniqueModule library; // our own reference to the GDI+ library
};

// Every pending shutdown, from the marker's creation to the timer's tick. Never destroyed:
// at process exit a start-up still pending is left to the system, not unloaded under GDI+.
std::vector<std::unique_ptr<ShutdownBlock>>& Blocks() {
    static auto* blocks = new std::vector<std::unique_ptr<ShutdownBlock>>;
    return *blocks;
}

void CALLBACK ShutdownTimerProc(HWND, UINT, UINT_PTR idEvent, DWORD) {
    KillTimer(nullptr, idEvent);
    auto& blocks = Blocks();
    const auto it = std::find_if(blocks.begin(), blocks.end(),
                                 [idEvent](const auto& b) { return b->timer == idEvent; });
    if (it == blocks.end()) return;
    // Leaving this scope releases the library reference after the shutdown, then the data.
    const std::unique_ptr<ShutdownBlock> block = std::move(*it);
    blocks.erase(it);
    block->shutdown(block->token);
}

LRESULT CALLBACK MarkerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                            DWORD_PTR data) {
    auto* block = reinterpret_cast<ShutdownBlock*>(data);
    ++block->nesting;
    const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
    --block->nesting;
    if (msg == WM_DESTROY) block->destroyed = true;
    // A marker destroyed while an outer call is still running: the subclass must go before
    // the window does; the timer waits for the outermost call below.
    if (msg == WM_NCDESTROY && block->subclassed) {
        RemoveWindowSubclass(hwnd, MarkerProc, id);
        block->subclassed = false;
    }
    if (block->nesting == 0 && block->destroyed && block->timer == 0) {
        // The outermost call: once the subclass is gone, nothing reads the block through the
        // marker again.
        if (block->subclassed) RemoveWindowSubclass(hwnd, MarkerProc, id);
        // Without a timer GDI+ stays started until the process ends.
        block->timer = SetTimer(nullptr, 0, kGdiplusShutdownDelayMs, ShutdownTimerProc);
    }
    return result;
}

} // namespace

HWND RootWindowOf(HWND hwnd) {
    HWND root = hwnd;
    for (HWND up = GetParent(root); up != nullptr; up = GetParent(root))
        root = up;
    for (HWND owner = GetWindow(root, GW_OWNER); owner != nullptr;
         owner = GetWindow(root, GW_OWNER))
        root = owner;
    return root;
}

HWND FindGdiplusMarker(HWND root) {
    return root ? FindWindowExW(root, nullptr, kGdiplusMarkerClass, kGdiplusMarkerTitle) : nullptr;
}

intptr_t StartSharedGdiplus(HWND containerHwnd) {
    if (containerHwnd == nullptr) return 0;
    const HWND root = RootWindowOf(containerHwnd);
    if (FindGdiplusMarker(root) != nullptr) return -1;

    auto block = std::make_unique<ShutdownBlock>();
    const std::string name = gdip::GdiplusLibraryName();
    if (name.empty()) return 0;
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    block->library.reset(LoadLibraryW(win::Widen(name).c_str()));
    SetErrorMode(oldMode);
    if (!block->library) {
        SetLastError(0);
        return 0;
    }
    const auto startup = reinterpret_cast<StartupFn>(
        reinterpret_cast<void*>(GetProcAddress(block->library.get(), "GdiplusStartup")));
    block->shutdown = reinterpret_cast<ShutdownFn>(
        reinterpret_cast<void*>(GetProcAddress(block->library.get(), "GdiplusShutdown")));
    const gdip::StartupInput input; // version 1, everything else 0
    if (startup == nullptr || block->shutdown == nullptr ||
        startup(&block->token, &input, nullptr) != gdip::statusOk || block->token == 0) {
        SetLastError(0);
        return 0;
    }
    const auto token = static_cast<intptr_t>(block->token);

    const HWND marker = CreateWindowExW(0, kGdiplusMarkerClass, kGdiplusMarkerTitle, WS_CHILD, 0, 0,
                                        0, 0, root, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (marker == nullptr || !SetWindowSubclass(marker, MarkerProc, kMarkerSubclassId,
                                                reinterpret_cast<DWORD_PTR>(block.get()))) {
        if (marker != nullptr) DestroyWindow(marker);
        // GDI+ stays started with no shutdown arranged; its library must stay loaded.
        (void)block->library.release();
        SetLastError(0);
        return token;
    }
    block->subclassed = true;
    Blocks().push_back(std::move(block));
    return token;
}

} // namespace moirelle::control
