#include "tests/support/TestPaths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace moirelle::test {
namespace {

// Under Wine the Unix root is drive Z:.
std::string HostPath(std::string unixPath) {
#ifdef _WIN32
    if (!unixPath.empty() && unixPath[0] == '/') unixPath = "Z:" + unixPath;
    for (char& c : unixPath)
        if (c == '/') c = '\\';
#endif
    return unixPath;
}

} // namespace

std::string SourceDir() {
    return HostPath(MOIRELLE_SOURCE_DIR);
}

std::string CorpusDir() {
    const char* env = std::getenv("MOIRELLE_CORPUS_DIR");
    const std::string dir =
        env && *env ? std::string(env)
                    : JoinPath(JoinPath(SourceDir(), ".."), JoinPath("shared", "corpus"));
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir : std::string();
}

std::string JoinPath(const std::string& a, const std::string& b) {
#ifdef _WIN32
    const char sep = '\\';
#else
    const char sep = '/';
#endif
    if (a.empty()) return b;
    if (a.back() == '/' || a.back() == '\\') return a + b;
    return a + sep + b;
}

std::string MakeTempDir(const std::string& name) {
    std::error_code ec;
    fs::path dir = fs::temp_directory_path(ec);
    if (ec) dir = fs::current_path();
    std::ostringstream unique;
    unique << name << '-' << getpid();
    dir /= "moirelle-tests";
    dir /= unique.str();
    fs::remove_all(dir, ec);
    fs::create_directories(dir);
    return dir.string();
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

} // namespace moirelle::test
