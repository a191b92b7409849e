#include "dib/win/HandleByteSource.h"

#include <algorithm>

namespace moirelle {

bool HandleByteSource::Size(uint64_t& size) {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(file_, &value) || value.QuadPart < 0) return false;
    size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

bool HandleByteSource::ReadAt(uint64_t position, void* buffer, size_t count) {
    if (position > static_cast<uint64_t>(INT64_MAX)) return false;
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file_, out, want, &got, nullptr) || got == 0) return false;
        out += got;
        count -= got;
    }
    return true;
}

} // namespace moirelle
