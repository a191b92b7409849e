#pragma once
// The windows of other programs (taskbars, start menu) that this process has made layered
// and not yet restored. The list lives in a block of shared memory handed to the shell
// watcher (ShellWatcher.h), which reads it once this process has ended: whatever is still
// listed then was left translucent and is restored by the watcher.
//
// Before Share() the list is kept in this process only.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace moirelle::app {

class LayeredWindows {
  public:
    // The most windows the list holds: the taskbars of several monitors and the start menu.
    static constexpr size_t kCapacity = 30;

    // The block's layout, the same in this process and the watcher.
    struct Block {
        uint32_t count;
        uint32_t reserved;
        uint64_t windows[kCapacity];
    };

    // Notes that `hwnd` was made layered (true) or restored (false). Null is ignored; a full
    // list drops the note.
    static void Note(HWND hwnd, bool layered);
    // The windows listed now.
    static std::vector<HWND> Listed();

    // Moves the list into a new block of shared memory whose handle child processes
    // inherit; null when it cannot be made (the list stays local).
    static HANDLE Share();

    // The windows listed in a block (the watcher's side).
    static std::vector<HWND> ListedIn(const Block& block);
    // Clears the layered style of each window that still exists and redraws it whole.
    static void Restore(const std::vector<HWND>& windows);
};

} // namespace moirelle::app
