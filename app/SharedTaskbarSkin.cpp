#include "app/SharedTaskbarSkin.h"

#include "app/FrmMagnet.h"
#include "app/FrmOpt.h"
#include "app/SkinFile.h"
#include "app/SkinPictures.h"
#include "app/StartButton.h"
#include "dib/win/c32bppDIB.h"
#include "forms/App.h"
#include "platform/win/Text.h"

namespace moirelle::app {
namespace {

bool IsLoadableTexture(const std::string& path) {
    c32bppDIB probe;
    return probe.LoadPicture_File(win::Widen(path));
}

} // namespace

std::vector<TaskbarInfo> SharedTaskbarSkin::Taskbars() {
    std::vector<TaskbarInfo> taskbars{{"", "Taskbar 1 (primary)", true, StartButtonParent()}};
    int n = 2;
    for (HWND taskbar : overlay_.SecondaryTaskbars())
        taskbars.push_back({"", "Taskbar " + std::to_string(n++), false, taskbar});
    return taskbars;
}

Skin SharedTaskbarSkin::KeptSkin(const std::string& /*key*/) {
    return {options_.Image1.Tag(), options_.FXSkinPath};
}

bool SharedTaskbarSkin::KeepSkin(const std::string& key, const Skin& skin) {
    const Skin kept = KeptSkin(key);
    bool ok = true;
    if (skin.base != kept.base) {
        if (auto picture = LoadBasePicture(skin.base)) {
            options_.Image1.Picture(*picture);
            options_.Image1.Tag(skin.base);
            WriteSkinFile(SkinFilePath(forms::App::Path(), kBaseSkinFile), skin.base);
            overlay_.BasePicture(*picture);
            previewedBase_ = false;
        } else {
            ok = false;
        }
    }
    if (skin.texture != kept.texture) {
        if (IsLoadableTexture(skin.texture)) {
            std::wstring wide = win::Widen(skin.texture);
            options_.aicFX.LoadImage_FromFile(wide);
            overlay_.Texture(wide);
            WriteSkinFile(SkinFilePath(forms::App::Path(), kTextureSkinFile), skin.texture);
            options_.FXSkinPath = skin.texture;
            previewedTexture_ = false;
        } else {
            ok = false;
        }
    }
    EndPreview();
    return ok;
}

void SharedTaskbarSkin::PreviewSkin(const std::string& key, const Skin& skin) {
    const Skin kept = KeptSkin(key);
    auto picture = skin.base == kept.base ? std::nullopt : LoadBasePicture(skin.base);
    if (picture) {
        overlay_.BasePicture(*picture);
        previewedBase_ = true;
    } else if (previewedBase_) {
        overlay_.BasePicture(options_.Image1.Picture());
        previewedBase_ = false;
    }
    if (skin.texture != kept.texture && IsLoadableTexture(skin.texture)) {
        overlay_.Texture(win::Widen(skin.texture));
        previewedTexture_ = true;
    } else if (previewedTexture_) {
        overlay_.Texture(win::Widen(kept.texture));
        previewedTexture_ = false;
    }
}

// The kept base picture is the one the options window's preview shows.
void SharedTaskbarSkin::EndPreview() {
    if (previewedBase_) overlay_.BasePicture(options_.Image1.Picture());
    if (previewedTexture_) overlay_.Texture(win::Widen(options_.FXSkinPath));
    previewedBase_ = previewedTexture_ = false;
}

} // namespace moirelle::app
