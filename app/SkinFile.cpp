#include "app/SkinFile.h"

#include "forms/TextFile.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <windows.h>

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

} // namespace

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
    auto value = SkinValueOf(std::string_view(bytes.data(), bytes.size()));
    if (!value) return std::nullopt;
    return AnsiToUtf8(*value);
}

bool WriteSkinFile(std::string_view path, std::string_view value) {
    auto file = forms::OutputFile::Open(path);
    return file && file->WriteLine(value);
}

} // namespace moirelle::app
