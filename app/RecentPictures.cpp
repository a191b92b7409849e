#include "app/RecentPictures.h"

#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <windows.h>

#include <algorithm>

namespace moirelle::app {
namespace {

constexpr const wchar_t* kSection = L"Gallery";

std::wstring KeyOf(size_t i) {
    return L"Recent" + std::to_wstring(i + 1);
}

bool SameFileName(const std::string& a, const std::string& b) {
    const std::wstring wa = win::Widen(a), wb = win::Widen(b);
    return CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

// The profile calls write a new file in the ANSI code page; one that begins with a UTF-16
// byte-order mark they keep in UTF-16.
void EnsureUnicodeFile(const std::wstring& file) {
    win::UniqueFile f(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return;
    const uint8_t bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(f.get(), bom, sizeof(bom), &written, nullptr);
}

} // namespace

std::vector<std::string> WithPictureFirst(std::vector<std::string> list, const std::string& path) {
    std::erase_if(list, [&](const std::string& p) { return SameFileName(p, path); });
    list.insert(list.begin(), path);
    if (list.size() > kRecentPictureCount) list.resize(kRecentPictureCount);
    return list;
}

RecentPictures::RecentPictures(std::string file) : file_(std::move(file)) {
    const std::wstring wide = win::Widen(file_);
    for (size_t i = 0; i < kRecentPictureCount; ++i) {
        wchar_t value[MAX_PATH * 4]{};
        GetPrivateProfileStringW(kSection, KeyOf(i).c_str(), L"", value, MAX_PATH * 4,
                                 wide.c_str());
        if (value[0]) list_.push_back(win::Narrow(value));
    }
}

bool RecentPictures::Use(const std::string& path) {
    list_ = WithPictureFirst(std::move(list_), path);
    const std::wstring wide = win::Widen(file_);
    EnsureUnicodeFile(wide);
    bool ok = true;
    for (size_t i = 0; i < kRecentPictureCount; ++i) {
        std::wstring value = i < list_.size() ? win::Widen(list_[i]) : std::wstring();
        ok = WritePrivateProfileStringW(kSection, KeyOf(i).c_str(),
                                        i < list_.size() ? value.c_str() : nullptr, wide.c_str()) &&
             ok;
    }
    return ok;
}

} // namespace moirelle::app
