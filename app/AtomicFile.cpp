#include "app/AtomicFile.h"

#include "platform/win/Handles.h"

namespace moirelle::app {
namespace {

// Tries this many names before giving up: a name is taken only by a leftover of a process
// that died between creating and moving its temporary file.
constexpr int kNameAttempts = 16;

std::wstring TemporaryName(const std::wstring& path, int attempt) {
    static LONG counter = 0;
    wchar_t suffix[48]{};
    swprintf(suffix, std::size(suffix), L".%lx-%lx-%d.tmp", GetCurrentProcessId(),
             static_cast<unsigned long>(InterlockedIncrement(&counter)), attempt);
    return path + suffix;
}

} // namespace

bool ReplaceFileContent(const std::wstring& path, std::string_view bytes) {
    return ReplaceFileContent(path, [bytes](HANDLE file) {
        DWORD written = 0;
        return bytes.size() <= MAXDWORD &&
               WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    });
}

bool ReplaceFileContent(const std::wstring& path, const std::function<bool(HANDLE)>& write) {
    std::wstring temporary;
    win::UniqueFile file;
    for (int attempt = 0; attempt < kNameAttempts && !file; ++attempt) {
        temporary = TemporaryName(path, attempt);
        file.reset(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (!file) return false;
    bool done = write(file.get()) && FlushFileBuffers(file.get());
    DWORD error = done ? ERROR_SUCCESS : GetLastError();
    file.reset();
    if (done) {
        done = MoveFileExW(temporary.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!done) error = GetLastError();
    }
    if (!done) {
        DeleteFileW(temporary.c_str());
        // A writer that failed without a system error still fails.
        SetLastError(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
    }
    return done;
}

} // namespace moirelle::app
