#include "app/SamePath.h"

#include "platform/win/Text.h"

#include <windows.h>

namespace moirelle::app {
namespace {

// The path as the file system resolves it; the path as it is when it cannot be resolved.
std::wstring Resolved(const std::string& path) {
    std::wstring wide = win::Widen(path);
    std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return wide;
    full.resize(length);
    std::wstring longer(GetLongPathNameW(full.c_str(), nullptr, 0), L'\0');
    length = GetLongPathNameW(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (length == 0 || length >= longer.size()) return full;
    longer.resize(length);
    return longer;
}

} // namespace

bool SamePath(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    const std::wstring x = Resolved(a), y = Resolved(b);
    return CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

} // namespace moirelle::app
