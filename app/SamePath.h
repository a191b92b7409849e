#pragma once
// Whether two paths name the same file, compared as the file system compares names.

#include <string>

namespace moirelle::app {

// Both paths (UTF-8) are made whole first (the current folder, "." and "..", forward
// slashes), their short names made long where the file is there, then compared ignoring
// case as the file system does. An empty path names no file.
bool SamePath(const std::string& a, const std::string& b);

} // namespace moirelle::app
