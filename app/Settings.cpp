#include "app/Settings.h"

#include "app/AtomicFile.h"
#include "app/SamePath.h"
#include "forms/App.h"
#include "platform/win/Text.h"

#include <algorithm>
#include <cwctype>

namespace moirelle::app {
namespace {

constexpr const wchar_t* kGeneral = L"General";
constexpr const wchar_t* kShared = L"All taskbars";
constexpr const wchar_t* kRecent = L"Recent";
constexpr std::wstring_view kTaskbarPrefix = L"Taskbar ";
constexpr const wchar_t* kSame = L"SameOnEveryTaskbar";
constexpr const wchar_t* kRules = L"Rules";
constexpr const wchar_t* kBase = L"Base";
constexpr const wchar_t* kTexture = L"Texture";

struct RuleKeys {
    const wchar_t* alpha;
    const wchar_t* base;
    const wchar_t* texture;
};
constexpr RuleKeys kMaximisedKeys{L"MaximisedAlpha", L"MaximisedBase", L"MaximisedTexture"};
constexpr RuleKeys kStartMenuKeys{L"StartMenuAlpha", L"StartMenuBase", L"StartMenuTexture"};

bool SameKey(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

// The entries of one section, looked up without regard to case as the profile calls do.
class Entries {
  public:
    explicit Entries(const IniSection& section) : section_(section) {}
    const std::wstring* Find(std::wstring_view key) {
        for (size_t i = 0; i < section_.entries.size(); ++i)
            if (SameKey(section_.entries[i].first, key)) {
                used_.push_back(i);
                return &section_.entries[i].second;
            }
        return nullptr;
    }
    // Whether an entry was never asked for: not one of ours.
    bool HasUnknown() const {
        for (size_t i = 0; i < section_.entries.size(); ++i)
            if (std::find(used_.begin(), used_.end(), i) == used_.end()) return true;
        return false;
    }

  private:
    const IniSection& section_;
    std::vector<size_t> used_;
};

// 0 to 255 in decimal; empty is "no change".
std::optional<std::optional<uint8_t>> ParseAlpha(const std::wstring& text) {
    if (text.empty()) return std::optional<uint8_t>{};
    if (text.size() > 3) return std::nullopt;
    unsigned value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value > 255) return std::nullopt;
    return std::optional<uint8_t>{static_cast<uint8_t>(value)};
}

void ReadRule(Entries& entries, const RuleKeys& keys, StateRule& rule, bool& corrupt) {
    if (const std::wstring* alpha = entries.Find(keys.alpha)) {
        if (auto parsed = ParseAlpha(*alpha))
            rule.alpha = *parsed;
        else
            corrupt = true;
    }
    const std::wstring* base = entries.Find(keys.base);
    const std::wstring* texture = entries.Find(keys.texture);
    if (base || texture)
        rule.skin = Skin{base ? win::Narrow(*base) : "", texture ? win::Narrow(*texture) : ""};
}

void ReadRules(Entries& entries, TaskbarRules& rules, bool& corrupt) {
    ReadRule(entries, kMaximisedKeys, rules.maximised, corrupt);
    ReadRule(entries, kStartMenuKeys, rules.startMenu, corrupt);
}

void WriteRule(IniSection& section, const RuleKeys& keys, const StateRule& rule) {
    section.entries.emplace_back(keys.alpha, rule.alpha ? std::to_wstring(*rule.alpha) : L"");
    if (!rule.skin) return;
    section.entries.emplace_back(keys.base, win::Widen(rule.skin->base));
    section.entries.emplace_back(keys.texture, win::Widen(rule.skin->texture));
}

void WriteRules(IniSection& section, const TaskbarRules& rules) {
    WriteRule(section, kMaximisedKeys, rules.maximised);
    WriteRule(section, kStartMenuKeys, rules.startMenu);
}

} // namespace

TaskbarSettings Settings::For(const std::string& key) const {
    if (!sameOnEveryTaskbar)
        if (auto own = taskbars.find(key); own != taskbars.end()) return own->second;
    return TaskbarSettings{std::nullopt, sharedRules};
}

// One file named in two spellings (letter case, short names, "..") is one picture.
void Settings::UsePicture(const std::string& path) {
    std::erase_if(recentPictures, [&](const std::string& p) { return SamePath(p, path); });
    recentPictures.insert(recentPictures.begin(), path);
    if (recentPictures.size() > kRecentPictures) recentPictures.resize(kRecentPictures);
}

Settings Settings::Parse(const IniText& text) {
    Settings s;
    bool corrupt = false;
    for (const IniSection& section : text) {
        Entries entries(section);
        if (SameKey(section.name, kShared)) {
            ReadRules(entries, s.sharedRules, corrupt);
        } else if (SameKey(section.name, kGeneral)) {
            for (auto [key, flag] :
                 {std::pair{kSame, &s.sameOnEveryTaskbar}, std::pair{kRules, &s.rules}})
                if (const std::wstring* value = entries.Find(key)) {
                    if (*value == L"0" || *value == L"1")
                        *flag = *value == L"1";
                    else
                        corrupt = true;
                }
        } else if (SameKey(section.name, kRecent)) {
            for (size_t i = 1; i <= kRecentPictures; ++i) {
                const std::wstring* path = entries.Find(std::to_wstring(i));
                if (!path || path->empty()) continue;
                std::string picture = win::Narrow(*path);
                if (std::none_of(s.recentPictures.begin(), s.recentPictures.end(),
                                 [&](const std::string& p) { return SamePath(p, picture); }))
                    s.recentPictures.push_back(std::move(picture));
            }
        } else if (section.name.size() > kTaskbarPrefix.size() &&
                   SameKey(std::wstring_view(section.name).substr(0, kTaskbarPrefix.size()),
                           kTaskbarPrefix)) {
            // A taskbar's section says all of its rules; what it leaves out has its default.
            TaskbarSettings own;
            const std::wstring* base = entries.Find(kBase);
            const std::wstring* texture = entries.Find(kTexture);
            if (base || texture)
                own.skin =
                    Skin{base ? win::Narrow(*base) : "", texture ? win::Narrow(*texture) : ""};
            ReadRules(entries, own.rules, corrupt);
            s.taskbars[win::Narrow(section.name.substr(kTaskbarPrefix.size()))] = own;
        } else {
            corrupt = true;
            continue;
        }
        corrupt |= entries.HasUnknown();
    }
    s.needsRewrite = corrupt;
    return s;
}

IniText Settings::Format() const {
    IniText text;
    text.push_back(
        {kGeneral, {{kRules, rules ? L"1" : L"0"}, {kSame, sameOnEveryTaskbar ? L"1" : L"0"}}});
    IniSection shared{kShared, {}};
    WriteRules(shared, sharedRules);
    text.push_back(std::move(shared));
    for (const auto& [key, own] : taskbars) {
        IniSection section{std::wstring(kTaskbarPrefix) + win::Widen(key), {}};
        if (own.skin) {
            section.entries.emplace_back(kBase, win::Widen(own.skin->base));
            section.entries.emplace_back(kTexture, win::Widen(own.skin->texture));
        }
        WriteRules(section, own.rules);
        text.push_back(std::move(section));
    }
    IniSection recent{kRecent, {}};
    for (size_t i = 0; i < recentPictures.size() && i < kRecentPictures; ++i)
        recent.entries.emplace_back(std::to_wstring(i + 1), win::Widen(recentPictures[i]));
    text.push_back(std::move(recent));
    return text;
}

std::wstring IniFileText(const IniText& text) {
    std::wstring out = L"\xFEFF";
    for (const IniSection& section : text) {
        out += L"[" + section.name + L"]\r\n";
        for (const auto& [key, value] : section.entries)
            out += key + L"=\"" + value + L"\"\r\n";
    }
    return out;
}

namespace {

// A list of NUL-ended names ending with an empty one, as the profile calls give them; the
// buffer grows until the list fits.
template <class Call> std::vector<std::wstring> NameList(Call call) {
    for (DWORD size = 1024; size <= (1u << 24); size *= 4) {
        std::wstring buffer(size, L'\0');
        DWORD got = call(buffer.data(), size);
        if (got + 2 >= size) continue;
        std::vector<std::wstring> names;
        for (const wchar_t* p = buffer.data(); *p; p += wcslen(p) + 1)
            names.emplace_back(p);
        return names;
    }
    return {};
}

std::wstring ProfileValue(const std::wstring& path, const std::wstring& section,
                          const std::wstring& key) {
    for (DWORD size = 512; size <= (1u << 24); size *= 4) {
        std::wstring buffer(size, L'\0');
        DWORD got = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(), size,
                                             path.c_str());
        if (got + 1 >= size) continue;
        buffer.resize(got);
        return buffer;
    }
    return {};
}

} // namespace

Settings Settings::Read(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return Settings{};
    IniText text;
    for (const std::wstring& name : NameList([&](wchar_t*b, DWORD n) {
             return GetPrivateProfileSectionNamesW(b, n, path.c_str());
         })) {
        IniSection section{name, {}};
        for (const std::wstring& key : NameList([&](wchar_t*b, DWORD n) {
                 return GetPrivateProfileStringW(name.c_str(), nullptr, L"", b, n, path.c_str());
             }))
            section.entries.emplace_back(key, ProfileValue(path, name, key));
        text.push_back(std::move(section));
    }
    return Parse(text);
}

bool Settings::Write(const std::wstring& path) const {
    const std::wstring text = IniFileText(Format());
    return ReplaceFileContent(path, std::string_view(reinterpret_cast<const char*>(text.data()),
                                                     text.size() * sizeof(wchar_t)));
}

std::wstring Settings::DefaultPath() {
    std::string folder = forms::App::Path();
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return win::Widen(folder + kSettingsFile);
}

} // namespace moirelle::app
