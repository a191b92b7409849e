#include "app/TaskbarSet.h"

#include "app/FrmOpt.h"
#include "app/SkinSource.h"
#include "app/StartButton.h"
#include "platform/win/Text.h"

#include <algorithm>
#include <utility>

namespace moirelle::app {
namespace {

constexpr const wchar_t* kSecondaryTaskbarClass = L"Shell_SecondaryTrayWnd";

std::vector<HWND> VisibleSecondaryTaskbars() {
    std::vector<HWND> found;
    for (HWND w = FindWindowExW(nullptr, nullptr, kSecondaryTaskbarClass, nullptr); w;
         w = FindWindowExW(nullptr, w, kSecondaryTaskbarClass, nullptr))
        if (IsWindowVisible(w)) found.push_back(w);
    return found;
}

} // namespace

std::string MonitorKey(HWND hwnd) {
    MONITORINFOEXW info{};
    info.cbSize = sizeof(info);
    HMONITOR monitor = hwnd ? MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST) : nullptr;
    if (!monitor || !GetMonitorInfoW(monitor, &info)) return {};
    return win::Narrow(info.szDevice);
}

TaskbarSet::TaskbarSet(FrmMagnet& primary) : primary_(primary) {
    Entry e;
    e.overlay = &primary_;
    entries_.push_back(std::move(e));
    primary_.Follow = [this] { Follow(); };
}

TaskbarSet::~TaskbarSet() = default;

void TaskbarSet::Start() {
    settingsPath_ = Settings::DefaultPath();
    settings_ = Settings::Read(settingsPath_);
    sharedPicture_ = primary_.Image2.Picture();
    NameTaskbars();
    if (settings_.rules) events_ = std::make_unique<DesktopEvents>([this] { StatesChanged(); });
    Apply();
}

void TaskbarSet::Follow() {
    primary_.Place();
    FollowSecondaryTaskbars();
    if (events_) events_->Recheck();
}

void TaskbarSet::FollowSecondaryTaskbars() {
    std::vector<HWND> present = VisibleSecondaryTaskbars();
    const size_t before = entries_.size();
    std::erase_if(entries_, [&](const Entry& e) {
        return !e.overlay->Role().primary && std::find(present.begin(), present.end(),
                                                       e.overlay->Role().taskbar) == present.end();
    });
    bool changed = entries_.size() != before;
    for (HWND taskbar : present) {
        auto known = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
            return e.overlay->Role().taskbar == taskbar;
        });
        if (known != entries_.end()) {
            known->overlay->Place();
            continue;
        }
        Entry e;
        e.owned = std::make_unique<FrmMagnet>(OverlayRole{false, taskbar});
        e.overlay = e.owned.get();
        e.showsShared = false;
        e.overlay->Load();
        TakeDrops(e);
        entries_.push_back(std::move(e));
        changed = true;
    }
    if (!changed) return;
    NameTaskbars();
    for (Entry& e : entries_)
        if (e.owned && !e.overlay->Visible() && overlaysShown_) e.overlay->Show();
    Apply();
}

// Taskbars on one monitor (never on Windows; a stand-in may do it) are told apart by a
// number after the device name, in the order they were found.
void TaskbarSet::NameTaskbars() {
    std::vector<std::string> seen;
    for (Entry& e : entries_) {
        std::string key = MonitorKey(e.overlay->TaskbarWindow());
        const std::string base = key;
        for (int n = 2; std::find(seen.begin(), seen.end(), key) != seen.end(); ++n)
            key = base + "#" + std::to_string(n);
        seen.push_back(key);
        e.key = key;
    }
}

TaskbarSet::Entry* TaskbarSet::Find(const std::string& key) {
    for (Entry& e : entries_)
        if (e.key == key) return &e;
    return nullptr;
}

std::vector<HWND> TaskbarSet::TaskbarWindows() const {
    std::vector<HWND> windows;
    for (const Entry& e : entries_)
        windows.push_back(e.overlay->Role().primary ? StartButtonParent()
                                                    : e.overlay->Role().taskbar);
    return windows;
}

void TaskbarSet::Translucent(uint8_t alpha) {
    normalAlpha_ = alpha;
    Apply(true);
}

void TaskbarSet::Restore() {
    normalAlpha_.reset();
    for (HWND taskbar : TaskbarWindows())
        alpha_.RestoreWindowAlpha(taskbar);
    for (Entry& e : entries_)
        e.alpha.reset();
}

void TaskbarSet::Apply(bool force) {
    for (Entry& e : entries_)
        Apply(e, force);
}

void TaskbarSet::Apply(Entry& e, bool force) {
    const TaskbarSettings own = settings_.For(e.key);
    const TaskbarState state = StateOf(e.key).value_or(TaskbarState::Normal);
    const Look look = LookIn(state, own.rules, normalAlpha_.value_or(255), own.skin);
    ShowSkin(e, e.preview ? e.preview : look.skin);
    if (!normalAlpha_ || (!force && e.alpha == look.alpha)) return;
    alpha_.SetWindowAlpha(e.overlay->Role().primary ? StartButtonParent()
                                                    : e.overlay->Role().taskbar,
                          true, look.alpha);
    e.alpha = look.alpha;
}

std::optional<TaskbarState> TaskbarSet::StateOf(const std::string& key) {
    Entry* e = Find(key);
    if (!e) return std::nullopt;
    if (!events_) return TaskbarState::Normal;
    HMONITOR monitor = MonitorFromWindow(e->overlay->TaskbarWindow(), MONITOR_DEFAULTTONEAREST);
    return app::StateOf(settings_.For(key).rules, events_->MaximisedOn(monitor),
                        events_->StartMenuOpen());
}

void TaskbarSet::ShowSkin(Entry& e, const std::optional<Skin>& skin) {
    if (!skin) {
        if (e.showsShared) return;
        e.animation.reset();
        e.animatedBase.clear();
        e.overlay->BasePicture(sharedPicture_);
        e.overlay->Texture(win::Widen(shared_.texture));
        e.showsShared = true;
        e.shown.reset();
        ReleaseIdleClock();
        return;
    }
    if (!e.showsShared && e.shown == skin) return;
    // The same animation under another texture plays on from where it is.
    const bool playsOn = e.animation && !e.showsShared && e.animatedBase == skin->base;
    if (!playsOn) {
        e.animation.reset();
        e.animatedBase.clear();
        if (skin->base.empty())
            e.overlay->BasePicture(primary_.Image2.Picture());
        else if (PlayOwnBase(e, skin->base))
            e.overlay->BasePicture(e.animation->Picture());
        else if (auto picture = LoadBaseSource(skin->base))
            e.overlay->BasePicture(*picture);
    }
    e.overlay->Texture(win::Widen(skin->texture));
    e.showsShared = false;
    e.shown = skin;
    if (!e.animation) ReleaseIdleClock();
}

bool TaskbarSet::PlayOwnBase(Entry& e, const std::string& path) {
    FrmMagnet* overlay = e.overlay;
    auto animation = std::make_unique<SkinAnimation>(Clock(), [overlay] {
        return std::vector<SkinAnimation::Overlay>{{overlay->hWnd(), &overlay->Image1}};
    });
    if (!animation->Play(path)) return false;
    e.animation = std::move(animation);
    e.animatedBase = path;
    return true;
}

AnimationClock& TaskbarSet::Clock() {
    if (!clock_) clock_ = std::make_unique<AnimationClock>();
    return *clock_;
}

void TaskbarSet::SharedBase(const forms::Picture& picture, const std::string& path) {
    sharedPicture_ = picture;
    shared_.base = path;
    for (Entry& e : entries_)
        if (e.showsShared) e.overlay->BasePicture(picture);
    // An animated GIF plays on the overlays that show the shared skin; they (and those that
    // come back to it) show the animation's picture.
    if (!path.empty() || animation_) {
        if (!animation_)
            animation_ = std::make_unique<SkinAnimation>(Clock(), [this] {
                std::vector<SkinAnimation::Overlay> shown;
                for (Entry& e : entries_)
                    if (e.showsShared) shown.push_back({e.overlay->hWnd(), &e.overlay->Image1});
                return shown;
            });
        if (animation_->Play(path))
            sharedPicture_ = animation_->Picture();
        else
            ReleaseIdleClock();
    }
    EndPreview();
}

void TaskbarSet::ReleaseIdleClock() {
    if (animation_ && animation_->Playing()) return;
    for (const Entry& e : entries_)
        if (e.animation) return;
    animation_.reset();
    clock_.reset();
}

void TaskbarSet::SharedTexture(const std::string& path) {
    shared_.texture = path;
    for (Entry& e : entries_)
        if (e.showsShared) e.overlay->Texture(win::Widen(path));
    EndPreview();
}

void TaskbarSet::ShowOverlays(bool show) {
    overlaysShown_ = show;
    for (Entry& e : entries_)
        if (show)
            e.overlay->Show();
        else
            e.overlay->Hide();
}

bool TaskbarSet::SaveSettings() {
    return settings_.Write(settingsPath_);
}

void TaskbarSet::SameOnEveryTaskbar(bool same) {
    if (settings_.sameOnEveryTaskbar == same) return;
    settings_.sameOnEveryTaskbar = same;
    SaveSettings();
    Apply();
}

void TaskbarSet::TakeDrops(DroppedPicture dropped) {
    dropped_ = std::move(dropped);
    for (Entry& e : entries_)
        TakeDrops(e);
}

// The taskbar's key is looked up at the drop: keys follow the taskbars as they come and go.
void TaskbarSet::TakeDrops(Entry& e) {
    if (!dropped_) return;
    FrmMagnet* overlay = e.overlay;
    e.drops = std::make_unique<SkinDropRegistration>(
        overlay->hWnd(), [this, overlay](const std::string& path, SkinLayer) {
            auto on = std::find_if(entries_.begin(), entries_.end(),
                                   [&](const Entry& x) { return x.overlay == overlay; });
            return on != entries_.end() && dropped_(on->key, path);
        });
}

std::vector<TaskbarInfo> TaskbarSet::Taskbars() {
    std::vector<TaskbarInfo> list;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        const bool primary = e.overlay->Role().primary;
        list.push_back({e.key, "Taskbar " + std::to_string(i + 1) + (primary ? " (primary)" : ""),
                        primary, e.overlay->TaskbarWindow()});
    }
    return list;
}

Skin TaskbarSet::KeptSkin(const std::string& key) {
    Entry* e = Find(key);
    if (key.empty() || !e || e->overlay->Role().primary) return shared_;
    return settings_.For(key).skin.value_or(shared_);
}

bool TaskbarSet::KeepSkin(const std::string& key, const Skin& skin) {
    Entry* e = Find(key);
    if (key.empty() || !e || e->overlay->Role().primary)
        return options_ ? options_->KeepSharedSkin(skin) : false;
    Skin kept = KeptSkin(key);
    bool whole = true;
    if (skin.base.empty() || LoadBaseSource(skin.base))
        kept.base = skin.base;
    else
        whole = false;
    if (skin.texture.empty() || IsLoadableTexture(skin.texture))
        kept.texture = skin.texture;
    else
        whole = false;
    // A taskbar's first own skin keeps the rules it had.
    auto own =
        settings_.taskbars.try_emplace(key, TaskbarSettings{std::nullopt, settings_.sharedRules});
    own.first->second.skin = kept;
    settings_.sameOnEveryTaskbar = false;
    SaveSettings();
    for (Entry& x : entries_)
        x.preview.reset();
    Apply();
    return whole;
}

void TaskbarSet::PreviewSkin(const std::string& key, const Skin& skin) {
    for (Entry& e : entries_) {
        const bool shared = !settings_.For(e.key).skin;
        if (key.empty() ? shared : e.key == key) e.preview = skin;
    }
    Apply();
}

// Also when a skin is kept while another is previewed (the pointer may still rest on a
// thumbnail): the kept skin shows.
void TaskbarSet::EndPreview() {
    bool previewed = false;
    for (Entry& e : entries_)
        previewed = std::exchange(e.preview, std::nullopt).has_value() || previewed;
    if (previewed) Apply();
}

} // namespace moirelle::app
