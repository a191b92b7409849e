#include "app/SamePath.h"

#include "platform/win/Text.h"

#include <windows.h>

#include <optional>

namespace moirelle::app {
namespace {

// What a call that fills a buffer gives: asked for the size first, then into a buffer of
// that size; nothing when it fails.
template <class Fill> std::optional<std::wstring> Filled(Fill fill) {
    std::wstring buffer(fill(nullptr, 0), wchar_t{});
    const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (!length || length >= buffer.size()) return std::nullopt;
    return buffer.substr(0, length);
}

// The path as the file system resolves it: whole, and with long names where the file is
// there.
std::wstring Resolved(const std::string& path) {
    const std::wstring wide = win::Widen(path);
    const auto full = Filled([&](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
    });
    if (!full) return wide;
    // The short names the system makes have a '~' in them. The look-up of long names walks
    // every folder of the path (a second or more for the gallery's comparisons on a busy
    // machine, while the skin just chosen waits), so it is left out where no name is short.
    if (full->find(L'~') == std::wstring::npos) return *full;
    return Filled([&](wchar_t* buffer, DWORD size) {
               return GetLongPathNameW(full->c_str(), buffer, size);
           })
        .value_or(*full);
}

} // namespace

bool SamePath(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    const std::wstring x = Resolved(a), y = Resolved(b);
    return CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

} // namespace moirelle::app
