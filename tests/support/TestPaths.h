#pragma once
// Where tests find the project's files and the shared conformance corpora.

#include <string>

namespace moirelle::test {

// The project's root folder, as a path the test program can open.
std::string SourceDir();
// The conformance corpora folder (../shared/corpus beside the project), or empty when
// it is absent; tests that need it skip with a message saying so.
std::string CorpusDir();
// A fresh, empty folder for this test program's files.
std::string MakeTempDir(const std::string& name);
// Joins two path parts with the platform's separator.
std::string JoinPath(const std::string& a, const std::string& b);
// Reads a whole file; false when it cannot be read.
bool ReadFile(const std::string& path, std::string& out);
bool WriteFile(const std::string& path, const std::string& data);

} // namespace moirelle::test
