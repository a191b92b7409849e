#pragma once
// Replaces a file's whole content in one step, so that a write that fails half-way never
// leaves a truncated or empty file: the new content goes to a temporary file beside the
// target (same folder, so the same volume), is flushed to the disk, and then takes the
// target's place with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). On
// any failure the target is left as it was, the temporary file is removed, and the answer
// is false with the system's error code in GetLastError.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace moirelle::app {

bool ReplaceFileContent(const std::wstring& path, std::string_view bytes);
// The same with the content written by `write` into the open temporary file; `write`
// answers whether all of it was written.
bool ReplaceFileContent(const std::wstring& path, const std::function<bool(HANDLE)>& write);

} // namespace moirelle::app
