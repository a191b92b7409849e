#pragma once
// The two skin files in the program's folder, "lastskin.cfg" (the base picture's path) and
// "FXskin.cfg" (the texture's path): one line each, the path as chosen and CR LF, in the
// system's ANSI code page. A path that code page cannot hold is written as UTF-8 after a
// byte-order mark, and a file that begins with that mark is read as UTF-8. Paths cross this
// interface as UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace moirelle::app {

inline constexpr const char* kBaseSkinFile = "lastskin.cfg";
inline constexpr const char* kTextureSkinFile = "FXskin.cfg";

// The folder text, a backslash and the name (at a drive root the folder already ends with
// one; the doubled backslash is accepted by the file system).
std::string SkinFilePath(std::string_view folder, std::string_view name);

// The value of a skin file's text: the whole first line, up to a NUL, CR or LF, so that a
// path with a comma comes back as written; a line that begins with a double quote is
// taken up to the closing quote. Nothing when the text has no line at all.
std::optional<std::string> SkinValueOf(std::string_view content);

// Whether every character of the text has its own character in the ANSI code page.
bool FitsAnsiCodePage(std::string_view utf8);

// Reads a skin file; nothing when it cannot be read or holds no line.
std::optional<std::string> ReadSkinFile(std::string_view path);
// Writes the path and CR LF, replacing the file in one step; false when it cannot be written
// (the file then keeps its old content).
bool WriteSkinFile(std::string_view path, std::string_view value);

} // namespace moirelle::app
