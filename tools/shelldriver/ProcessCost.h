#pragma once
// What another process costs, read from outside: its CPU time summed over its threads
// (GetProcessTimes on another process is not measured under Wine) and its footprint.

#include <windows.h>

#include <cstddef>

namespace moirelle::shelldriver {

// Kernel and user time of every thread of the process, in seconds.
double ProcessCpuSeconds(DWORD processId);

struct ProcessFootprint {
    bool opened = false; // false when the process could not be opened (all else 0)
    DWORD handles = 0;
    size_t privateBytes = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
};

// Handle count, private bytes and GDI/USER objects of the process (0 where unreadable;
// Wine reads the counts of another process as 0).
ProcessFootprint FootprintOf(DWORD processId);

} // namespace moirelle::shelldriver
