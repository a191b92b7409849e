#pragma once
// The shell watcher: a second instance of this executable, started with a private argument,
// that waits for the first one to end and then restores every window the first one left
// layered (see LayeredWindows.h). It holds an inherited handle of the first process and of
// the shared list, and ends as soon as the first process has ended, whatever the way it
// ended: after a normal exit the list is empty and it restores nothing.

#include "platform/win/Handles.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace moirelle::app {

// The private argument that makes the executable a watcher.
inline constexpr const wchar_t* kWatchArgument = L"--watch-shell";

// Shares the list of layered windows and starts the watcher; false when it cannot be
// started (the program runs on without one).
bool StartShellWatcher();

// Starts a program that inherits only `handles` (each made inheritable by the caller) of all
// this process's inheritable handles, without the busy cursor of a starting program. Answers
// the new process, or nothing when it cannot be started.
win::UniqueKernelHandle StartWithHandles(const std::wstring& exe, std::wstring commandLine,
                                         std::span<const HANDLE> handles, DWORD creationFlags);

// The handles given to a watcher on its command line.
struct WatcherHandles {
    uintptr_t process = 0;
    uintptr_t list = 0;
    friend bool operator==(const WatcherHandles&, const WatcherHandles&) = default;
};
std::wstring WatcherArguments(const WatcherHandles& handles);
// The handles from a whole command line when it asks for a watcher; nothing otherwise.
std::optional<WatcherHandles> ParseWatcherCommandLine(std::wstring_view commandLine);

// The watcher's life: waits for the process, restores what is still listed; answers the exit
// code (0 done, 1 the handles were unusable).
int RunShellWatcher(const WatcherHandles& handles);

} // namespace moirelle::app
