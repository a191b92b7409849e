#include "forms/App.h"

#include "forms/FormsWindowClasses.h"
#include "platform/win/Text.h"

#include <vector>

namespace moirelle::forms {
namespace {

std::string ModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return win::Narrow(std::wstring_view(buffer.data(), n));
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

// Keyboard navigation between the controls of a form, and the form's own handling.
bool TranslateFormMessage(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (!root || !IsFormWindow(root)) return false;
    return IsDialogMessageW(root, &msg) != FALSE;
}

} // namespace

std::string FolderOfPath(std::string_view filePath) {
    size_t slash = filePath.find_last_of("\\/");
    if (slash == std::string_view::npos) return {};
    std::string folder(filePath.substr(0, slash));
    // "C:" alone is the current folder of drive C, not its root.
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    return folder;
}

std::string BaseNameOfPath(std::string_view filePath) {
    size_t slash = filePath.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? filePath : filePath.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::string(name);
}

std::string App::Path() {
    return FolderOfPath(ModulePath());
}
std::string App::EXEName() {
    return BaseNameOfPath(ModulePath());
}
HINSTANCE App::hInstance() {
    return GetModuleHandleW(nullptr);
}

int App::Run() {
    MSG msg;
    for (;;) {
        if (!AnyFormWindowOnThread()) return 0;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got < 0) return -1;
        if (TranslateFormMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void App::DoEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Keep the quit request for the loop that owns it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (TranslateFormMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void App::End() {
    ExitProcess(0);
}

} // namespace moirelle::forms
