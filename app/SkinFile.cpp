#include "app/SkinFile.h"

#include "app/AtomicFile.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace moirelle::app {
namespace {

// Skin files hold one short line; anything bigger is not one of ours.
constexpr DWORD kLargestSkinFile = 64 * 1024;

std::string AnsiToUtf8(std::string_view ansi) {
    if (ansi.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return win::Narrow(wide);
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::wstring wide = win::Widen(utf8);
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string ansi(static_cast<size_t>(std::max(n, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), n,
                        nullptr, nullptr);
    return ansi;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

} // namespace

bool FitsAnsiCodePage(std::string_view utf8) {
    if (GetACP() == CP_UTF8) return true;
    std::wstring wide = win::Widen(utf8);
    if (wide.empty()) return utf8.empty();
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                static_cast<int>(wide.size()), nullptr, 0, nullptr, &usedDefault);
    return n > 0 && !usedDefault;
}

std::string SkinFilePath(std::string_view folder, std::string_view name) {
    return std::string(folder) + "\\" + std::string(name);
}

std::optional<std::string> SkinValueOf(std::string_view content) {
    if (content.empty()) return std::nullopt;
    std::string_view line = content.substr(0, content.find_first_of(std::string_view("\0\r\n", 3)));
    if (!line.empty() && line.front() == '"') {
        line.remove_prefix(1);
        line = line.substr(0, line.find('"'));
    }
    return std::string(line);
}

std::optional<std::string> ReadSkinFile(std::string_view path) {
    std::wstring wide = win::Widen(path);
    win::UniqueFile file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestSkinFile) return std::nullopt;
    std::vector<char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
         got != bytes.size()))
        return std::nullopt;
    std::string_view content(bytes.data(), bytes.size());
    bool utf8 = content.starts_with(kUtf8Mark);
    if (utf8) content.remove_prefix(kUtf8Mark.size());
    auto value = SkinValueOf(content);
    if (!value) return std::nullopt;
    return utf8 ? *value : AnsiToUtf8(*value);
}

bool WriteSkinFile(std::string_view path, std::string_view value) {
    std::string line =
        FitsAnsiCodePage(value) ? Utf8ToAnsi(value) : std::string(kUtf8Mark) + std::string(value);
    line += "\r\n";
    return ReplaceFileContent(win::Widen(path), line);
}

} // namespace moirelle::app
