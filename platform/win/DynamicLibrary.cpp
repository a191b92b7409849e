#include "platform/DynamicLibrary.h"

#include "platform/win/Text.h"

#include <windows.h>

namespace moirelle::platform {

bool DynamicLibrary::Load(const std::string& name) {
    Unload();
    if (name.empty()) return false;
    // No "cannot find DLL" dialogs on old systems: a missing library is a normal answer.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    handle_ = reinterpret_cast<void*>(LoadLibraryW(win::Widen(name).c_str()));
    SetErrorMode(oldMode);
    return handle_ != nullptr;
}

bool DynamicLibrary::Unload() {
    if (!handle_) return false;
    const bool freed = FreeLibrary(static_cast<HMODULE>(handle_)) != 0;
    handle_ = nullptr;
    return freed;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name))
                   : nullptr;
}

unsigned long LastSystemError() {
    return GetLastError();
}
void ClearLastSystemError() {
    SetLastError(0);
}

} // namespace moirelle::platform
