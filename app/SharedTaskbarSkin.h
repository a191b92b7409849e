#pragma once
// The skin every taskbar shares, as the options window keeps it: its base picture in the
// window's preview (its path in the preview's Tag text and lastskin.cfg) and its texture in
// the preview's control (its path in FXSkinPath and FXskin.cfg); the overlays show it.

#include "app/TaskbarSkins.h"
#include "forms/Picture.h"

#include <optional>

namespace moirelle::app {

class FrmOpt;
class FrmMagnet;

class SharedTaskbarSkin : public TaskbarSkins {
  public:
    SharedTaskbarSkin(FrmOpt& options, FrmMagnet& overlay) : options_(options), overlay_(overlay) {}

    std::vector<TaskbarInfo> Taskbars() override;
    Skin KeptSkin(const std::string& key) override;
    bool KeepSkin(const std::string& key, const Skin& skin) override;
    void PreviewSkin(const std::string& key, const Skin& skin) override;
    void EndPreview() override;

  private:
    FrmOpt& options_;
    FrmMagnet& overlay_;
    // The layers a preview changed on the overlays.
    bool previewedBase_ = false;
    bool previewedTexture_ = false;
};

} // namespace moirelle::app
