#include "app/ShellWatcher.h"

#include "app/LayeredWindows.h"
#include "platform/win/Handles.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace moirelle::app {
namespace {

// A decimal number ending at a space or the end of the text; nothing for anything else.
std::optional<uintptr_t> Number(std::wstring_view& text) {
    size_t start = text.find_first_not_of(L' ');
    if (start == std::wstring_view::npos) return std::nullopt;
    text.remove_prefix(start);
    uintptr_t value = 0;
    size_t n = 0;
    for (; n < text.size() && text[n] != L' '; ++n) {
        if (text[n] < L'0' || text[n] > L'9' || n >= 19) return std::nullopt;
        value = value * 10 + static_cast<uintptr_t>(text[n] - L'0');
    }
    if (n == 0) return std::nullopt;
    text.remove_prefix(n);
    return value;
}

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

std::wstring WatcherArguments(const WatcherHandles& h) {
    return std::wstring(kWatchArgument) + L" " + std::to_wstring(h.process) + L" " +
           std::to_wstring(h.list);
}

// The executable's own name comes first, quoted or not; the argument follows it.
std::optional<WatcherHandles> ParseWatcherCommandLine(std::wstring_view line) {
    size_t nameEnd = !line.empty() && line.front() == L'"' ? line.find(L'"', 1) : line.find(L' ');
    if (nameEnd == std::wstring_view::npos) return std::nullopt;
    std::wstring_view rest = line.substr(nameEnd + 1);
    rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(L' ')));
    std::wstring_view argument(kWatchArgument);
    if (rest.substr(0, argument.size()) != argument) return std::nullopt;
    rest.remove_prefix(argument.size());
    if (!rest.empty() && rest.front() != L' ') return std::nullopt;
    auto process = Number(rest);
    auto list = Number(rest);
    if (!process || !list || rest.find_first_not_of(L' ') != std::wstring_view::npos)
        return std::nullopt;
    return WatcherHandles{*process, *list};
}

win::UniqueKernelHandle StartWithHandles(const std::wstring& exe, std::wstring commandLine,
                                         std::span<const HANDLE> handles, DWORD creationFlags) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<std::byte> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (size == 0 || !InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return {};
    std::vector<HANDLE> list(handles.begin(), handles.end());
    win::UniqueKernelHandle process;
    if (list.empty() ||
        UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, list.data(),
                                  list.size() * sizeof(HANDLE), nullptr, nullptr)) {
        STARTUPINFOEXW si{};
        si.StartupInfo.cb = sizeof(si);
        si.StartupInfo.dwFlags = STARTF_FORCEOFFFEEDBACK;
        si.lpAttributeList = attributes;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, !list.empty(),
                           creationFlags | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                           &si.StartupInfo, &pi)) {
            process.reset(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    DeleteProcThreadAttributeList(attributes);
    return process;
}

bool StartShellWatcher() {
    HANDLE list = LayeredWindows::Share();
    if (!list) return false;
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                         SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0))
        return false;
    win::UniqueKernelHandle inheritedSelf(self);
    std::wstring exe = ExecutablePath();
    if (exe.empty()) return false;
    std::wstring commandLine =
        L"\"" + exe + L"\" " +
        WatcherArguments({reinterpret_cast<uintptr_t>(self), reinterpret_cast<uintptr_t>(list)});
    const HANDLE handed[] = {self, list};
    return static_cast<bool>(
        StartWithHandles(exe, std::move(commandLine), handed, CREATE_NO_WINDOW));
}

int RunShellWatcher(const WatcherHandles& handles) {
    win::UniqueKernelHandle process(reinterpret_cast<HANDLE>(handles.process));
    win::UniqueKernelHandle list(reinterpret_cast<HANDLE>(handles.list));
    // Only a process handle: an arbitrary number must not make the watcher wait forever.
    if (!GetProcessId(process.get()) || GetProcessId(process.get()) == GetCurrentProcessId())
        return 1;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return 1;
    win::UniqueMappedView view(
        MapViewOfFile(list.get(), FILE_MAP_READ, 0, 0, sizeof(LayeredWindows::Block)));
    if (!view) return 1;
    LayeredWindows::Restore(
        LayeredWindows::ListedIn(*static_cast<LayeredWindows::Block*>(view.get())));
    return 0;
}

} // namespace moirelle::app
