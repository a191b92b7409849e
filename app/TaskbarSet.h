#pragma once
// Every taskbar with its overlay: the primary one (whose overlay is the start-up window)
// and one for each secondary taskbar, followed as they come and go. Each taskbar is known
// by its monitor's device name; it shows its own skin or the shared one (the skin of the
// skin files), and in each state (normal, a maximised window on its monitor, the start menu
// open) the opacity and skin its rules give. States follow the desktop's window events.
//
// While the taskbars are translucent, the normal state's opacity is the one the options
// window sets; restored, states change no opacity.

#include "app/AnimationClock.h"
#include "app/DesktopEvents.h"
#include "app/FrmMagnet.h"
#include "app/Settings.h"
#include "app/SkinAnimation.h"
#include "app/SkinDropTarget.h"
#include "app/TaskbarSkins.h"
#include "app/clsAlpha.h"
#include "forms/Picture.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace moirelle::app {

class FrmOpt;

class TaskbarSet : public TaskbarSkins {
  public:
    explicit TaskbarSet(FrmMagnet& primary);
    ~TaskbarSet() override;
    void Options(FrmOpt& options) { options_ = &options; }

    // Reads the settings file and starts following the desktop's window events.
    void Start();
    // Places every overlay, follows secondary taskbars that appeared or vanished, and looks
    // again at the windows that make a state now.
    void Follow();

    // Every taskbar layered, the normal state at `alpha` (each taskbar gets its state's).
    void Translucent(uint8_t alpha);
    // Every taskbar restored.
    void Restore();
    // Stops following the desktop's window events (the program is leaving).
    void StopFollowing() { events_.reset(); }
    // The normal opacity while translucent.
    std::optional<uint8_t> NormalAlpha() const { return normalAlpha_; }
    std::vector<HWND> TaskbarWindows() const;

    // The shared skin, as the options window's commands set it (path "" with the built-in
    // default picture).
    void SharedBase(const forms::Picture& picture, const std::string& path);
    void SharedTexture(const std::string& path);
    void ShowOverlays(bool show);

    app::Settings& Settings() { return settings_; }
    // Writes the settings file; false (the old file kept) when it cannot be written.
    bool SaveSettings();
    // Every taskbar shows the shared skin and rules, or each its own.
    void SameOnEveryTaskbar(bool same);
    // Picture files dropped on an overlay, now or on any overlay to come, go to `dropped`
    // with the key of the overlay's taskbar; it answers whether one was kept. Called once.
    using DroppedPicture = std::function<bool(const std::string& key, const std::string& path)>;
    void TakeDrops(DroppedPicture dropped);

    // TaskbarSkins
    std::vector<TaskbarInfo> Taskbars() override;
    Skin KeptSkin(const std::string& key) override;
    bool KeepSkin(const std::string& key, const Skin& skin) override;
    void PreviewSkin(const std::string& key, const Skin& skin) override;
    void EndPreview() override;

    // The state a taskbar is in now (for the tests' sake, by its key).
    std::optional<TaskbarState> StateOf(const std::string& key);

  private:
    struct Entry {
        FrmMagnet* overlay = nullptr;
        std::unique_ptr<FrmMagnet> owned;
        // Revoked before the overlay it names is destroyed.
        std::unique_ptr<SkinDropRegistration> drops;
        std::string key;
        std::optional<uint8_t> alpha;
        // The skin it shows: nothing is the shared one.
        std::optional<Skin> shown;
        bool showsShared = true;
        std::optional<Skin> preview;
        // Its own base picture when that is an animated GIF (its file in animatedBase).
        std::unique_ptr<SkinAnimation> animation;
        std::string animatedBase;
    };

    void FollowSecondaryTaskbars();
    void TakeDrops(Entry& e);
    void NameTaskbars();
    Entry* Find(const std::string& key);
    // Gives each taskbar the look of its state; `force` applies the opacity even unchanged.
    void Apply(bool force = false);
    void Apply(Entry& e, bool force);
    void ShowSkin(Entry& e, const std::optional<Skin>& skin);
    // Plays the file as the taskbar's own animated base picture; false (and nothing kept)
    // when it is no animation.
    bool PlayOwnBase(Entry& e, const std::string& path);
    AnimationClock& Clock();
    // With no animation left to play, the animations' clock goes (its window and timer);
    // the next animation makes it again.
    void ReleaseIdleClock();
    void StatesChanged() { Apply(); }

    FrmMagnet& primary_;
    FrmOpt* options_ = nullptr;
    // The one timer of every animation, made at first use (before the animations, which
    // leave it as they go).
    std::unique_ptr<AnimationClock> clock_;
    std::vector<Entry> entries_;
    // The shared base picture when it is an animated GIF, made at first use.
    std::unique_ptr<SkinAnimation> animation_;
    std::unique_ptr<DesktopEvents> events_;
    DroppedPicture dropped_;
    app::Settings settings_;
    std::wstring settingsPath_;
    clsAlpha alpha_;
    std::optional<uint8_t> normalAlpha_;
    forms::Picture sharedPicture_;
    Skin shared_;
    bool overlaysShown_ = true;
};

// The device name of the monitor a window lies on ("" when none).
std::string MonitorKey(HWND hwnd);

} // namespace moirelle::app
