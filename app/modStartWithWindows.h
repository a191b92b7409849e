#pragma once
// "Start with Windows": a value under the current user's run-at-logon key, named by the
// program's title, holding the full path of the running executable. The program never
// reads it back. Failures (a key that cannot be opened) are silent.

#include <string>
#include <string_view>

namespace moirelle::app {

inline constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The value's data for the program's folder and executable base name: folder, backslash,
// name, ".exe"; in double quotes when it holds a space, so that the command line cannot be
// read as a shorter path.
std::string RunValueData(std::string_view folder, std::string_view exeName);

void EnableStartWithWindows();
void DisableStartWithWindows();

} // namespace moirelle::app
