#include "app/modTray.h"

#include "platform/win/Text.h"

#include <shellapi.h>

namespace moirelle::app {
namespace {

constexpr UINT kIconId = 1;

NOTIFYICONDATAW& Record() {
    static NOTIFYICONDATAW record{};
    return record;
}

} // namespace

bool AddTrayIcon(HWND hWnd, HICON icon, std::string_view tip, UINT callbackMessage) {
    NOTIFYICONDATAW& nid = Record();
    nid = NOTIFYICONDATAW{};
    nid.cbSize = sizeof(NOTIFYICONDATAW);
    nid.hWnd = hWnd;
    nid.uID = kIconId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = callbackMessage;
    nid.hIcon = icon;
    // Cut to the field, always ended.
    lstrcpynW(nid.szTip, win::Widen(tip).c_str(), static_cast<int>(std::size(nid.szTip)));
    // A shell that still shows the icon (a repeated "TaskbarCreated") refuses to add it twice.
    return Shell_NotifyIconW(NIM_ADD, &nid) || Shell_NotifyIconW(NIM_MODIFY, &nid);
}

void RemoveTrayIcon() {
    NOTIFYICONDATAW& nid = Record();
    if (!nid.hWnd) return;
    Shell_NotifyIconW(NIM_DELETE, &nid);
}

win::UniqueIcon LoadTrayIcon(HINSTANCE module, int resourceId) {
    return win::UniqueIcon(static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(resourceId),
                                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                         GetSystemMetrics(SM_CYSMICON), 0)));
}

} // namespace moirelle::app
