#pragma once
// The options window: a preview strip of the skin, the opacity slider, three check boxes and
// two picture buttons, the notification icon and its popup menu. Its commands change the
// taskbar's translucency (always on StartButtonParent()), the start menu's, the overlay's
// visibility and contents, the skin files and the run-at-logon value. The window is keyed
// on its dark grey background, so only the painted parts of its background picture show.
// Its pictures are drawn at their size at 96 dpi scaled with its window's resolution, like
// its controls, and follow it when the window moves to a monitor of another resolution.
//
// A restarted shell ("TaskbarCreated") gets the icon and the translucency again.
//
// Leaving (Exit, or closing the window) restores the taskbar, the start menu when this
// program made it translucent, and removes the notification icon, then ends the process.

#include "app/SkinGallery.h"
#include "app/TaskbarSkins.h"
#include "app/TransparentColor.h"
#include "app/clsAlpha.h"
#include "control/aicAlphaImage.h"
#include "forms/CheckBox.h"
#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/HScrollBar.h"
#include "forms/Image.h"
#include "forms/Label.h"
#include "forms/Menu.h"
#include "forms/PictureBox.h"
#include "forms/Timer.h"
#include "forms/UserControl.h"
#include "platform/win/Handles.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace moirelle::app {

class FrmMagnet;
class GallerySkins;
class SkinDropRegistration;
class TaskbarSet;

// The height the gallery strip adds to the window (twips).
inline constexpr int32_t kGalleryTwips = 1065;

class FrmOpt : public forms::Form {
  public:
    FrmOpt(FrmMagnet& overlay, TaskbarSet& taskbars);
    ~FrmOpt() override;

    // The window's height in twips when it is neither minimized nor hidden (loads it).
    int32_t NormalHeight();
    // The taskbar whose skin the window edits: "" while every taskbar shows the same.
    std::string EditedTaskbar() const { return edited_; }
    // Keeps the skin as the shared one, as the choices do: shown here and on the taskbars
    // that share it, written to the skin files. A layer whose file cannot be loaded is left
    // as it was; answers whether both were applied.
    bool KeepSharedSkin(const Skin& skin);

    clsAlpha WindowAlpha;
    uint8_t CurrentAlpha = 100;
    int16_t TextureApplied = 0;
    std::string FXSkinPath;
    HWND smenu = nullptr;
    int16_t TBTop = 0;

    // Declared in painting order: later windowless controls lie on top.
    forms::Image Image3{*this, {-120, 0, 6300, 3045}};
    forms::Label Label1{*this, {120, 120, 5415, 255}};
    // Which taskbar the skin choices go to; a click chooses the next.
    forms::Label Label5{*this, {2760, 120, 2775, 255}};
    forms::Image Image2{*this, {5640, 120, 330, 330}};
    forms::Label Label4{*this, {120, 405, 5895, 255}};
    forms::PictureBox Picture1{*this, {240, 720, 5655, 615}};
    forms::Image Image1{Picture1, {0, 0, 7410, 585}};
    forms::Hosted<control::aicAlphaImage> aicFX{Picture1, {0, 0, 7410, 585}, forms::PropertyBag{}};
    forms::HScrollBar HScroll1{*this, {240, 1440, 5655, 255}};
    forms::CheckBox Check2{*this, {120, 1800, 2055, 255}};
    forms::CheckBox Check4{*this, {120, 2160, 2175, 255}};
    forms::CheckBox Check3{*this, {120, 2520, 2055, 255}};
    forms::Image Image4_0{*this, {3480, 1800, 2325, 450}};
    forms::Label Label3_0{*this, {3600, 1920, 2055, 255}};
    forms::Image Image4_1{*this, {3480, 2280, 2325, 450}};
    forms::Label Label3_1{*this, {3600, 2400, 2055, 255}};
    // The gallery strip lengthens the window: what lay below its visible area keeps its
    // distance from the window's bottom edge.
    SkinGallery Gallery{*this, {240, 2955, 5655, 960}};
    // Below the visible area.
    forms::Label Label2{*this, {120, 3360 + kGalleryTwips, 2055, 255}};
    forms::CommandButton Command1{*this, {120, 4080 + kGalleryTwips, 1215, 150}};
    forms::CommandButton Command2{*this, {120, 4230 + kGalleryTwips, 1215, 150}};
    forms::CommandButton Command3{*this, {120, 4380 + kGalleryTwips, 1215, 150}};
    forms::CommandButton Command4{*this, {120, 4530 + kGalleryTwips, 1215, 150}};
    forms::CommandButton Command5{*this, {120, 4680 + kGalleryTwips, 1215, 150}};
    forms::Hosted<TransparentColor> TransparentColor1{
        *this, {120, 5280 + kGalleryTwips, 495, 405}, KeyBag()};

    // Tries the notification icon again while the shell refuses it.
    forms::Timer TrayRetry{*this, 3000, false};

    forms::Menu mnuForm{"mnuForm"};
    forms::MenuItem mnuHide{mnuForm, "Hide"};
    forms::MenuItem mnuShow{mnuForm, "Show"};
    forms::MenuItem mnuSep{mnuForm, "-"};
    forms::MenuItem mnuExit{mnuForm, "Exit"};

  protected:
    void Form_Load() override;
    void Form_QueryUnload(bool& cancel, int16_t unloadMode) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    static forms::PropertyBag KeyBag();
    void Design();
    void Wire();

    // The commands.
    void MakeMagnet();
    void RestoreTaskbar();
    [[noreturn]] void ExitApplication();
    void ChooseBasePicture();
    void SetTexture();
    void ChooseTexture();
    void RestoreSavedSkins();
    bool KeepBase(const std::string& path);
    bool KeepTexture(const std::string& path);
    // Tells the user that a chosen skin could not be written to its file.
    void SkinNotKept();
    void LoadGallery();
    bool PictureDroppedOn(const std::string& key, const std::string& path);

    void Preview_Click(int16_t button);
    void PictureButton_Click(int16_t index);
    void HScroll1_Change();
    void Check2_Click();
    void Check4_Click();
    void Check3_Click();
    void Label5_Click(int16_t index);
    void ShowEditedTaskbar();
    void MenuHide();
    void MenuShow();
    void TrayMessage(UINT mouseMessage);
    // The taskbar and, when this program changed it, the start menu, as they were.
    void RestoreShell();
    // Every taskbar (the primary and the secondary ones) layered with `alpha`, or restored.
    void TaskbarsAlpha(uint8_t alpha);
    void RestoreTaskbars();
    // Adds the notification icon; while the shell refuses it, every 3 seconds for a minute.
    void AddIcon();
    void TrayRetry_Timer();
    // The shell started again: the icon, the translucency and the overlays' places anew.
    void ShellRestarted();

    FrmMagnet& overlay_;
    // The taskbars' skins and states.
    TaskbarSet& taskbars_;
    std::string edited_;
    bool startMenuChanged_ = false;
    uint8_t startMenuAlpha_ = 255;
    UINT taskbarCreated_ = 0;
    bool toldSkinNotKept_ = false;
    win::UniqueIcon trayIcon_;
    int trayRetries_ = 0;
    // The gallery's contents and the drops of pictures on this window (those on the
    // overlays are taken by the taskbars' owner).
    std::unique_ptr<GallerySkins> gallery_;
    std::unique_ptr<SkinDropRegistration> dropOnOptions_;
};

} // namespace moirelle::app
