#pragma once
// The system's open-file dialog for one existing file.

#include <windows.h>

#include <string>
#include <string_view>

namespace moirelle::app {

// The dialog's filter list from "name|pattern|name|pattern": a "|" is appended when missing
// and every "|" becomes a NUL, which ends the list with two NULs.
std::wstring FilterList(std::string_view filter);

// Shows the dialog owned by `owner`, starting in `initialDir`; answers the chosen path
// (UTF-8) without surrounding spaces, or empty text when the user cancels or the dialog
// cannot be shown.
std::string ShowOpenDialog(HWND owner, std::string_view filter, std::string_view title,
                           std::string_view initialDir);

} // namespace moirelle::app
