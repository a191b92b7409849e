#include "app/modStartWithWindows.h"

#include "forms/App.h"
#include "platform/win/Text.h"

#include <windows.h>

namespace moirelle::app {
namespace {

class OpenRunKey {
  public:
    OpenRunKey() {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_WRITE, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~OpenRunKey() {
        if (key_) RegCloseKey(key_);
    }
    OpenRunKey(const OpenRunKey&) = delete;
    OpenRunKey& operator=(const OpenRunKey&) = delete;
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

} // namespace

std::string RunValueData(std::string_view folder, std::string_view exeName) {
    std::string path = std::string(folder) + "\\" + std::string(exeName) + ".exe";
    if (path.find(' ') != std::string::npos) return "\"" + path + "\"";
    return path;
}

void EnableStartWithWindows() {
    OpenRunKey key;
    if (!key.get()) return;
    std::wstring name = win::Widen(forms::App::Title());
    std::wstring data = win::Widen(RunValueData(forms::App::Path(), forms::App::EXEName()));
    RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

void DisableStartWithWindows() {
    OpenRunKey key;
    if (!key.get()) return;
    RegDeleteValueW(key.get(), win::Widen(forms::App::Title()).c_str());
}

} // namespace moirelle::app
