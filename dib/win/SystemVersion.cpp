#include "dib/win/SystemVersion.h"

#include <windows.h>

namespace moirelle {

SystemVersion QuerySystemVersion() {
    // GetVersionEx reports what the executable's manifest allows it to see; the kernel's
    // own call reports the truth. Fall back to the extended and then the basic structure.
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    bool ok = false;
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
        ok = rtlGetVersion && rtlGetVersion(&info) == 0;
    }
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!ok) ok = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != 0;
    if (!ok) {
        info = {};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        ok = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != 0;
    }
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    SystemVersion v;
    if (ok) {
        v.platformId = info.dwPlatformId;
        v.major = info.dwMajorVersion;
        v.minor = info.dwMinorVersion;
        v.servicePackMajor =
            info.dwOSVersionInfoSize >= sizeof(OSVERSIONINFOEXW) ? info.wServicePackMajor : 0;
    }
    return v;
}

} // namespace moirelle
