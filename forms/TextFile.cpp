#include "forms/TextFile.h"

#include "platform/win/Text.h"

#include <windows.h>

namespace moirelle::forms {
namespace {

constexpr LONGLONG maxInputFileBytes = 16ll << 20;

std::string ToAnsi(std::string_view utf8) {
    std::wstring wide = win::Widen(utf8);
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

std::string FromAnsi(std::string_view ansi) {
    if (ansi.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return win::Narrow(wide);
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Passes over one line end (CR LF, CR or LF) at pos, if there is one.
void SkipLineEnd(std::string_view s, size_t& pos) {
    if (pos < s.size() && s[pos] == '\r') ++pos;
    if (pos < s.size() && s[pos] == '\n') ++pos;
}

} // namespace

bool ReadInputField(std::string_view content, size_t& pos, std::string& field) {
    if (pos >= content.size()) return false;
    size_t p = pos;
    while (p < content.size() && content[p] == ' ')
        ++p;
    std::string_view value;
    if (p < content.size() && content[p] == '"') {
        size_t close = content.find('"', p + 1);
        if (close == std::string_view::npos) close = content.size();
        value = content.substr(p + 1, close - (p + 1));
        p = close < content.size() ? close + 1 : close;
        // Whatever follows the closing quote up to the delimiter is not part of the field.
        while (p < content.size() && content[p] != ',' && !IsLineEnd(content[p]))
            ++p;
    } else {
        size_t end = p;
        while (end < content.size() && content[end] != ',' && !IsLineEnd(content[end]))
            ++end;
        value = content.substr(p, end - p);
        p = end;
    }
    if (p < content.size() && content[p] == ',')
        ++p;
    else
        SkipLineEnd(content, p);
    size_t nul = value.find('\0');
    if (nul != std::string_view::npos) value = value.substr(0, nul);
    field.assign(value);
    pos = p;
    return true;
}

std::optional<OutputFile> OutputFile::Open(std::string_view path) {
    std::wstring wide = win::Widen(path);
    if (wide.empty()) return std::nullopt;
    win::UniqueFile file(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    return OutputFile(std::move(file));
}

bool OutputFile::WriteLine(std::string_view text) {
    std::string line = ToAnsi(text);
    line += "\r\n";
    DWORD written = 0;
    return WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written,
                     nullptr) &&
           written == line.size();
}

std::optional<InputFile> InputFile::Open(std::string_view path) {
    std::wstring wide = win::Widen(path);
    if (wide.empty()) return std::nullopt;
    win::UniqueFile file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > maxInputFileBytes) return std::nullopt;
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!content.empty() && (!ReadFile(file.get(), content.data(),
                                       static_cast<DWORD>(content.size()), &read, nullptr) ||
                             read != content.size()))
        return std::nullopt;
    return InputFile(std::move(content));
}

std::optional<std::string> InputFile::InputField() {
    std::string raw;
    if (!ReadInputField(content_, pos_, raw)) return std::nullopt;
    return FromAnsi(raw);
}

} // namespace moirelle::forms
