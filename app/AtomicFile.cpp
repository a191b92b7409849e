#include "app/AtomicFile.h"

#include "platform/win/Handles.h"

namespace moirelle::app {
namespace {

// Unique to this process and call; a file of that name is a leftover of a process with
// the same id that died half-way, and is taken over.
std::wstring TemporaryName(const std::wstring& path) {
    static LONG counter = 0;
    wchar_t suffix[40]{};
    swprintf(suffix, std::size(suffix), L".%lx-%lx.tmp", GetCurrentProcessId(),
             static_cast<unsigned long>(InterlockedIncrement(&counter)));
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
    const std::wstring temporary = TemporaryName(path);
    // Nobody else opens it while it is written.
    win::UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
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
