#include "app/ShowOpenDialog.h"

#include "forms/App.h"
#include "platform/win/Text.h"

#include <commdlg.h>

#include <vector>

namespace moirelle::app {
namespace {

// Room for long paths; the dialog refuses a choice that does not fit.
constexpr size_t kFileBufferChars = 4096;

std::string_view TrimSpaces(std::string_view s) {
    size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

} // namespace

std::wstring FilterList(std::string_view filter) {
    std::wstring list = win::Widen(filter);
    if (list.empty() || list.back() != L'|') list += L'|';
    for (wchar_t& c : list)
        if (c == L'|') c = L'\0';
    return list;
}

std::string ShowOpenDialog(HWND owner, std::string_view filter, std::string_view title,
                           std::string_view initialDir) {
    std::wstring filters = FilterList(filter);
    std::wstring wideTitle = win::Widen(title);
    std::wstring wideDir = win::Widen(initialDir);
    std::vector<wchar_t> file(kFileBufferChars, L'\0');
    std::vector<wchar_t> fileTitle(kFileBufferChars, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(OPENFILENAMEW);
    ofn.hwndOwner = owner;
    ofn.hInstance = forms::App::hInstance();
    ofn.lpstrFilter = filters.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrFileTitle = fileTitle.data();
    ofn.nMaxFileTitle = static_cast<DWORD>(fileTitle.size());
    ofn.lpstrInitialDir = wideDir.c_str();
    ofn.lpstrTitle = wideTitle.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn)) return {};
    std::string chosen = win::Narrow(file.data());
    return std::string(TrimSpaces(chosen));
}

} // namespace moirelle::app
