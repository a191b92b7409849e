#include "app/modTray.h"

#include "platform/win/Text.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

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
    std::wstring text = win::Widen(tip);
    size_t n = std::min(text.size(), std::size(nid.szTip) - 1);
    std::copy_n(text.begin(), n, nid.szTip);
    nid.szTip[n] = L'\0';
    // A shell that still shows the icon (a repeated "TaskbarCreated") refuses to add it twice.
    return Shell_NotifyIconW(NIM_ADD, &nid) || Shell_NotifyIconW(NIM_MODIFY, &nid);
}

void RemoveTrayIcon() {
    NOTIFYICONDATAW& nid = Record();
    if (!nid.hWnd) return;
    Shell_NotifyIconW(NIM_DELETE, &nid);
    nid = NOTIFYICONDATAW{};
}

win::UniqueIcon LoadTrayIcon(HINSTANCE module, int resourceId) {
    return win::UniqueIcon(static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(resourceId),
                                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                         GetSystemMetrics(SM_CYSMICON), 0)));
}

} // namespace moirelle::app
