#include "app/FrmOpt.h"

#include "app/AppResources.h"
#include "app/FrmMagnet.h"
#include "app/GallerySkins.h"
#include "app/Pictures.h"
#include "app/ShowOpenDialog.h"
#include "app/SkinDropTarget.h"
#include "app/SkinFile.h"
#include "app/SkinSource.h"
#include "app/StartButton.h"
#include "app/TaskbarSet.h"
#include "app/modStartWithWindows.h"
#include "app/modTray.h"
#include "dib/win/c32bppDIB.h"
#include "forms/App.h"
#include "forms/ScaleMode.h"
#include "forms/Screen.h"
#include "platform/win/Text.h"

namespace moirelle::app {
namespace {

constexpr uint32_t kKeyColor = 0x404040;
constexpr uint32_t kCheckBack = 0x141414;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint8_t kStartAlpha = 155;
constexpr const char* kBaseFilter = "All Supported Types|*.bmp;*.gif;*.jpg";
constexpr const char* kTextureFilter = "Pngs|*.png";
constexpr const char* kDialogTitle = "Choose a Skin";

const forms::Font kLabelFont{.name = "Trebuchet MS", .size = 9.75f};
const forms::Font kCheckFont{.name = "Tahoma", .size = 9.75f};

void WhiteLabel(forms::Label& label, std::string caption,
                int16_t alignment = forms::vbLeftJustify) {
    label.Caption(std::move(caption));
    label.ForeColor(kWhite);
    label.BackStyle(forms::vbTransparent);
    label.Font(kLabelFont);
    label.Alignment(alignment);
}

void DarkCheck(forms::CheckBox& box, std::string caption) {
    box.Caption(std::move(caption));
    box.ForeColor(kWhite);
    box.BackColor(kCheckBack);
    box.Font(kCheckFont);
}

// A picture drawn at its design size: its pixel size at 96 dpi, kept in twips so that it
// scales with the window's resolution (the form lays it out again when that changes).
void DesignSizedPicture(forms::Image& image, forms::Picture picture) {
    constexpr int32_t kDesignTwipsPerPixel = 15;
    image.Stretch(true);
    const int32_t w = picture.PixelWidth() * kDesignTwipsPerPixel,
                  h = picture.PixelHeight() * kDesignTwipsPerPixel;
    image.Picture(std::move(picture));
    image.Move(image.Left(), image.Top(), w, h);
}

constexpr const char* kEveryTaskbar = "All taskbars";

} // namespace

FrmOpt::FrmOpt(FrmMagnet& overlay, TaskbarSet& taskbars)
    : Form({.caption = "Moirelle options",
            .width = 6075,
            .height = 2925 + kGalleryTwips,
            .borderStyle = 0,
            .showInTaskbar = false,
            .startUpPosition = 2,
            .backColor = kKeyColor,
            .iconResource = IDI_MOIRELLE}),
      overlay_(overlay), taskbars_(taskbars) {
    Design();
    Wire();
}

FrmOpt::~FrmOpt() = default;

forms::PropertyBag FrmOpt::KeyBag() {
    forms::PropertyBag bag;
    bag.WriteProperty("MaskColor", static_cast<int32_t>(kKeyColor));
    bag.WriteProperty("BackColor", static_cast<int32_t>(kKeyColor));
    bag.WriteProperty("Enable", true);
    return bag;
}

void FrmOpt::Design() {
    DesignSizedPicture(Image3, BuiltInBitmap(IDB_OPTIONS_BACK));
    WhiteLabel(Label1, "Moirelle 1.4p");
    WhiteLabel(Label5, kEveryTaskbar, forms::vbRightJustify);
    DesignSizedPicture(Image2, BuiltInGif(IDG_HIDE_BUTTON));
    WhiteLabel(Label4, "Left click to choose Base picture, Right click to choose FX Texture");
    Image1.Stretch(true);
    Image1.Picture(BuiltInBitmap(IDB_DEFAULT_SKIN));
    HScroll1.Min(0);
    HScroll1.Max(255);
    HScroll1.Value(100);
    HScroll1.SmallChange(1);
    HScroll1.LargeChange(1);
    DarkCheck(Check2, "Start with Windows");
    DarkCheck(Check4, "Transparent Taskbar");
    DarkCheck(Check3, "Fade Startmenu");
    forms::Picture button = BuiltInGif(IDG_BUTTON);
    DesignSizedPicture(Image4_0, button);
    Image4_0.Index(0);
    DesignSizedPicture(Image4_1, button);
    Image4_1.Index(1);
    WhiteLabel(Label3_0, "Apply Texture", forms::vbCenter);
    Label3_0.Index(0);
    WhiteLabel(Label3_1, "Exit Application", forms::vbCenter);
    Label3_1.Index(1);
    WhiteLabel(Label2, "Texture Opacity");
    Command1.Caption("Make Magnet");
    Command2.Caption("Restore");
    Command3.Caption("Exit");
    Command4.Caption("...");
    Command5.Caption("Set Texture");
    // Keyboard order: the five commands, then the slider, the preview and the check boxes.
    int16_t tab = 0;
    for (forms::Control* c : std::initializer_list<forms::Control*>{
             &Command1, &Command2, &Command3, &Command4, &Command5, &HScroll1, &Picture1, &Check2,
             &Check4, &Check3})
        c->TabIndex(tab++);
}

void FrmOpt::Wire() {
    Command1.Click = [this] { MakeMagnet(); };
    Command2.Click = [this] { RestoreTaskbar(); };
    Command3.Click = [this] { ExitApplication(); };
    Command4.Click = [this] { ChooseBasePicture(); };
    Command5.Click = [this] { SetTexture(); };
    aicFX.Click.Bind(this, &FrmOpt::Preview_Click);
    Image4_0.Click.Bind(this, &FrmOpt::PictureButton_Click);
    Image4_1.Click.Bind(this, &FrmOpt::PictureButton_Click);
    Label3_0.Click.Bind(this, &FrmOpt::PictureButton_Click);
    Label3_1.Click.Bind(this, &FrmOpt::PictureButton_Click);
    HScroll1.Change.Bind(this, &FrmOpt::HScroll1_Change);
    Check2.Click.Bind(this, &FrmOpt::Check2_Click);
    Check4.Click.Bind(this, &FrmOpt::Check4_Click);
    Check3.Click.Bind(this, &FrmOpt::Check3_Click);
    Label5.Click.Bind(this, &FrmOpt::Label5_Click);
    Image2.Click = [this](int16_t) { MenuHide(); };
    mnuHide.Click = [this] { MenuHide(); };
    mnuShow.Click = [this] { MenuShow(); };
    mnuExit.Click = [this] { ExitApplication(); };
    TrayRetry.Tick.Bind(this, &FrmOpt::TrayRetry_Timer);
}

int32_t FrmOpt::NormalHeight() {
    HWND w = hWnd();
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!w || !GetWindowPlacement(w, &placement)) return Height();
    const RECT& r = placement.rcNormalPosition;
    return forms::PixelsToTwips(r.bottom - r.top, TwipsPerPixelY());
}

void FrmOpt::Form_Load() {
    trayIcon_ = LoadTrayIcon(forms::App::hInstance(), IDI_MOIRELLE);
    AddIcon();
    TextureApplied = 0;
    CurrentAlpha = 100;
    Image1.Height(WorkAreaBottomGap());
    aicFX.ScaleMethod(1);
    aicFX.Height(Image1.Height());
    Picture1.Height(Image1.Height());
    aicFX.Width(Image1.Width());
    smenu = FindWindowW(L"DV2ControlHost", nullptr);
    TBTop = 0;
    taskbars_.Start();
    ShowEditedTaskbar();
    RestoreSavedSkins();
    SetTexture();
    TaskbarsAlpha(kStartAlpha);
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    // Run elevated, the program still hears the shell's announcement from a normal one.
    if (taskbarCreated_)
        ChangeWindowMessageFilterEx(hWnd(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
    LoadGallery();
}

// The gallery, and pictures dropped on this window or on the overlay.
void FrmOpt::LoadGallery() {
    gallery_ = std::make_unique<GallerySkins>(
        Gallery, taskbars_, [this] { return edited_; }, taskbars_.Settings(),
        [this] { taskbars_.SaveSettings(); }, forms::App::Path());
    gallery_->Load();
    // A drop on the options window goes to the taskbar it edits, one on an overlay to that
    // overlay's taskbar.
    dropOnOptions_ =
        std::make_unique<SkinDropRegistration>(hWnd(), [this](const std::string& path, SkinLayer) {
            return gallery_->KeepPicture(edited_, path);
        });
    taskbars_.TakeDrops([this](const std::string& key, const std::string& path) {
        return PictureDroppedOn(key, path);
    });
}

// A picture kept for one taskbar alone (a secondary one, or any while each shows its own)
// makes this window edit that taskbar.
bool FrmOpt::PictureDroppedOn(const std::string& key, const std::string& path) {
    if (!gallery_->KeepPicture(key, path)) return false;
    if (!taskbars_.Settings().sameOnEveryTaskbar && edited_ != key) {
        edited_ = key;
        ShowEditedTaskbar();
    }
    return true;
}

// Closing leaves as "Exit" does: the shell restored, the icon removed, the process ended.
void FrmOpt::Form_QueryUnload(bool& /*cancel*/, int16_t /*unloadMode*/) {
    ExitApplication();
}

LRESULT FrmOpt::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kTrayCallbackMessage) {
        TrayMessage(static_cast<UINT>(LOWORD(lParam)));
        return 0;
    }
    // The session ends without closing the windows: the shell is left as it was.
    if (msg == WM_ENDSESSION && wParam) RestoreShell();
    if (taskbarCreated_ && msg == taskbarCreated_) {
        ShellRestarted();
        return 0;
    }
    return Form::HandleMessage(msg, wParam, lParam);
}

// --- Commands -----------------------------------------------------------------------

void FrmOpt::MakeMagnet() {
    TextureApplied = 1;
    taskbars_.SharedBase(overlay_.Image2.Picture(), "");
    TaskbarsAlpha(CurrentAlpha);
}

void FrmOpt::RestoreTaskbar() {
    RestoreTaskbars();
    TextureApplied = 0;
}

// The window events stop first: nothing may change the taskbars once they are restored.
void FrmOpt::ExitApplication() {
    taskbars_.StopFollowing();
    RestoreShell();
    RemoveTrayIcon();
    forms::App::End();
}

// An empty base path keeps the overlay's picture: at the first start that is the built-in
// default skin.
void FrmOpt::SetTexture() {
    TaskbarsAlpha(CurrentAlpha);
    if (!Image1.Tag().empty())
        if (auto picture = forms::LoadPicture(Image1.Tag()))
            taskbars_.SharedBase(*picture, Image1.Tag());
    TextureApplied = 1;
}

// A cancelled dialog or a file that is no picture changes nothing; a skin file that
// cannot be written leaves the chosen picture applied. While one taskbar is edited, the
// choice goes to that taskbar alone.
void FrmOpt::ChooseBasePicture() {
    std::string path = ShowOpenDialog(hWnd(), kBaseFilter, kDialogTitle, forms::App::Path());
    if (path.empty()) return;
    if (!edited_.empty()) {
        Skin skin = taskbars_.KeptSkin(edited_);
        skin.base = path;
        if (taskbars_.KeepSkin(edited_, skin)) {
            if (auto picture = LoadBaseSource(path)) Image1.Picture(*picture);
            if (gallery_) gallery_->Used(path);
        }
        return;
    }
    if (KeepBase(path) && gallery_) gallery_->Used(path);
}

void FrmOpt::ChooseTexture() {
    std::string path = ShowOpenDialog(hWnd(), kTextureFilter, kDialogTitle, forms::App::Path());
    if (path.empty()) return;
    if (!edited_.empty()) {
        Skin skin = taskbars_.KeptSkin(edited_);
        skin.texture = path;
        if (taskbars_.KeepSkin(edited_, skin)) {
            aicFX.LoadImage_FromFile(win::Widen(path));
            if (gallery_) gallery_->Used(path);
        }
        return;
    }
    if (KeepTexture(path) && gallery_) gallery_->Used(path);
}

bool FrmOpt::KeepBase(const std::string& path) {
    auto picture = LoadBaseSource(path);
    if (!picture) return false;
    Image1.Picture(*picture);
    Image1.Tag(path);
    const bool kept = WriteSkinFile(SkinFilePath(forms::App::Path(), kBaseSkinFile), path);
    taskbars_.SharedBase(*picture, path);
    if (!kept) SkinNotKept();
    return true;
}

bool FrmOpt::KeepTexture(const std::string& path) {
    if (!IsLoadableTexture(path)) return false;
    aicFX.LoadImage_FromFile(win::Widen(path));
    taskbars_.SharedTexture(path);
    const bool kept = WriteSkinFile(SkinFilePath(forms::App::Path(), kTextureSkinFile), path);
    FXSkinPath = path;
    if (!kept) SkinNotKept();
    return true;
}

bool FrmOpt::KeepSharedSkin(const Skin& skin) {
    bool whole = true;
    if (skin.base != Image1.Tag()) {
        if (skin.base.empty()) {
            // The built-in default picture.
            Image1.Picture(overlay_.Image2.Picture());
            Image1.Tag("");
            const bool kept = WriteSkinFile(SkinFilePath(forms::App::Path(), kBaseSkinFile), "");
            taskbars_.SharedBase(overlay_.Image2.Picture(), "");
            if (!kept) SkinNotKept();
        } else {
            whole = KeepBase(skin.base);
        }
    }
    if (skin.texture != FXSkinPath) {
        if (skin.texture.empty()) {
            aicFX.ClearImage();
            taskbars_.SharedTexture("");
            const bool kept = WriteSkinFile(SkinFilePath(forms::App::Path(), kTextureSkinFile), "");
            FXSkinPath.clear();
            if (!kept) SkinNotKept();
        } else {
            whole = KeepTexture(skin.texture) && whole;
        }
    }
    return whole;
}

// Once per run: a folder the program cannot write to fails every choice alike.
void FrmOpt::SkinNotKept() {
    if (toldSkinNotKept_) return;
    toldSkinNotKept_ = true;
    MessageBoxW(hWnd(),
                L"The skin is shown now, but it could not be saved beside the program, so it "
                L"will not come back at the next start.",
                L"Moirelle", MB_OK | MB_ICONWARNING);
}

// The first step that fails ends the restoring; the load sequence goes on.
void FrmOpt::RestoreSavedSkins() {
    auto base = ReadSkinFile(SkinFilePath(forms::App::Path(), kBaseSkinFile));
    if (!base) return;
    auto picture = forms::LoadPicture(*base);
    if (!picture) return;
    Image1.Picture(*picture);
    taskbars_.SharedBase(*picture, *base);
    Image1.Tag(*base);
    auto texture = ReadSkinFile(SkinFilePath(forms::App::Path(), kTextureSkinFile));
    if (!texture) return;
    FXSkinPath = *texture;
    taskbars_.SharedTexture(FXSkinPath);
    aicFX.LoadImage_FromFile(win::Widen(FXSkinPath));
}

// --- Controls -----------------------------------------------------------------------

void FrmOpt::Preview_Click(int16_t button) {
    if (button == 1)
        ChooseBasePicture();
    else
        ChooseTexture();
}

void FrmOpt::PictureButton_Click(int16_t index) {
    if (index == 0)
        RestoreTaskbar();
    else
        ExitApplication();
}

void FrmOpt::HScroll1_Change() {
    CurrentAlpha = static_cast<uint8_t>(255 - HScroll1.Value());
    if (TextureApplied == 1) TaskbarsAlpha(CurrentAlpha);
}

void FrmOpt::Check2_Click() {
    if (Check2.Value() == forms::vbChecked)
        EnableStartWithWindows();
    else
        DisableStartWithWindows();
}

void FrmOpt::Check4_Click() {
    taskbars_.ShowOverlays(Check4.Value() == forms::vbUnchecked);
}

void FrmOpt::Check3_Click() {
    CurrentAlpha = static_cast<uint8_t>(255 - HScroll1.Value());
    bool fade = Check3.Value() == forms::vbChecked;
    startMenuAlpha_ = fade ? CurrentAlpha : 255;
    WindowAlpha.SetWindowAlpha(smenu, true, startMenuAlpha_);
    if (smenu) startMenuChanged_ = true;
}

void FrmOpt::MenuHide() {
    if (WindowState() == forms::vbMinimized) return;
    WindowState(forms::vbMinimized);
    Visible(false);
    Hide();
}

void FrmOpt::MenuShow() {
    if (WindowState() != forms::vbMinimized) return;
    WindowState(forms::vbNormal);
    Visible(true);
    Show();
}

void FrmOpt::TrayMessage(UINT mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        PopupMenu(mnuForm);
        break;
    default:
        break;
    }
}

void FrmOpt::AddIcon() {
    trayRetries_ = 0;
    TrayRetry_Timer();
}

void FrmOpt::TrayRetry_Timer() {
    constexpr int kTrayRetries = 20;
    HICON icon = trayIcon_ ? trayIcon_.get() : overlay_.Icon();
    const bool shown = AddTrayIcon(hWnd(), icon, forms::App::Title(), kTrayCallbackMessage);
    TrayRetry.Enabled(!shown && trayRetries_++ < kTrayRetries);
}

void FrmOpt::RestoreShell() {
    RestoreTaskbars();
    if (startMenuChanged_ && smenu && IsWindow(smenu)) WindowAlpha.RestoreWindowAlpha(smenu);
}

void FrmOpt::TaskbarsAlpha(uint8_t alpha) {
    taskbars_.Translucent(alpha);
}

void FrmOpt::RestoreTaskbars() {
    taskbars_.Restore();
}

// The choices go to every taskbar, or to one: the list runs from "All taskbars" through
// each taskbar and back.
void FrmOpt::Label5_Click(int16_t) {
    std::vector<TaskbarInfo> list = taskbars_.Taskbars();
    auto at = std::find_if(list.begin(), list.end(),
                           [&](const TaskbarInfo& t) { return t.key == edited_; });
    if (edited_.empty())
        at = list.begin();
    else if (at != list.end())
        ++at;
    edited_ = at == list.end() ? "" : at->key;
    taskbars_.SameOnEveryTaskbar(edited_.empty());
    ShowEditedTaskbar();
}

void FrmOpt::ShowEditedTaskbar() {
    std::vector<TaskbarInfo> list = taskbars_.Taskbars();
    if (!taskbars_.Settings().sameOnEveryTaskbar && edited_.empty()) {
        // The taskbar on this window's monitor, else the primary one.
        const std::string here = MonitorKey(hWnd());
        auto mine = std::find_if(list.begin(), list.end(),
                                 [&](const TaskbarInfo& t) { return t.key == here; });
        edited_ = mine != list.end() ? mine->key : list.empty() ? "" : list.front().key;
    }
    auto at = std::find_if(list.begin(), list.end(),
                           [&](const TaskbarInfo& t) { return t.key == edited_; });
    Label5.Caption(edited_.empty() || at == list.end() ? kEveryTaskbar : at->name);
    // The frames mark the edited taskbar's kept skin.
    if (gallery_) gallery_->Fill();
}

// The old taskbar and start menu are gone with the old shell; their successors are found
// by class as at the start.
void FrmOpt::ShellRestarted() {
    ForgetStartButton();
    AddIcon();
    taskbars_.Follow();
    if (auto alpha = taskbars_.NormalAlpha()) TaskbarsAlpha(*alpha);
    smenu = FindWindowW(L"DV2ControlHost", nullptr);
    if (startMenuChanged_ && smenu) WindowAlpha.SetWindowAlpha(smenu, true, startMenuAlpha_);
}

} // namespace moirelle::app
