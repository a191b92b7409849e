#include "tools/shelldriver/ProcessCost.h"

#include "platform/win/Handles.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>

namespace moirelle::shelldriver {

double ProcessCpuSeconds(DWORD processId) {
    double seconds = 0;
    // A failed snapshot is INVALID_HANDLE_VALUE, as a failed file is.
    win::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        win::UniqueKernelHandle thread(
            OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
        FILETIME created, ended, kernel, user;
        if (!thread || !GetThreadTimes(thread.get(), &created, &ended, &kernel, &user)) continue;
        for (const FILETIME& t : {kernel, user})
            seconds += static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                           t.dwLowDateTime) /
                       1e7;
    }
    return seconds;
}

ProcessFootprint FootprintOf(DWORD processId) {
    ProcessFootprint f;
    win::UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) return f;
    f.opened = true;
    GetProcessHandleCount(process.get(), &f.handles);
    // The commit charge, which is the private bytes (Wine fills this field of the basic
    // counters, not PrivateUsage of the extended ones).
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(process.get(), &counters, sizeof(counters)))
        f.privateBytes = counters.PagefileUsage;
    f.gdiObjects = GetGuiResources(process.get(), GR_GDIOBJECTS);
    f.userObjects = GetGuiResources(process.get(), GR_USEROBJECTS);
    return f;
}

} // namespace moirelle::shelldriver
