#include "platform/DynamicLibrary.h"

#include <cerrno>
#include <dlfcn.h>

namespace moirelle::platform {

bool DynamicLibrary::Load(const std::string& name) {
    Unload();
    if (name.empty()) return false;
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

bool DynamicLibrary::Unload() {
    if (!handle_) return false;
    const bool freed = dlclose(handle_) == 0;
    handle_ = nullptr;
    return freed;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

unsigned long LastSystemError() {
    return static_cast<unsigned long>(errno);
}
void ClearLastSystemError() {
    errno = 0;
}

} // namespace moirelle::platform
