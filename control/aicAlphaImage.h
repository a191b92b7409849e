#pragma once
// The windowless image control: shows one 32-bpp alpha image on its container, scaled,
// rotated, mirrored, faded, recoloured and shadowed, hit-tests the pointer against the
// image's visible pixels and reports the pointer entering and leaving it. Instances on one
// container share a cCrossComm (the pointer's owner, the GDI+ token).
//
// Placed on a form as a Hosted<> member:
//     forms::Hosted<control::aicAlphaImage> aicFX{*this, {0, 0, 4500, 4500}, forms::PropertyBag{}};
// (a stored control whose data holds only its extent), or without the bag for a new control.

#include "control/DrawKey.h"
#include "control/ICrossComm.h"
#include "control/TimerEntries.h"
#include "control/cCrossComm.h"
#include "dib/win/c32bppDIB.h"
#include "forms/Event.h"
#include "forms/UserControl.h"
#include "platform/win/Handles.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace moirelle::control {

// ScaleMethod values.
inline constexpr int32_t ScaleToFit = 0;
inline constexpr int32_t StretchToFit = 1;
inline constexpr int32_t ShrinkToFit = 2;
inline constexpr int32_t ActualSize = 3;
inline constexpr int32_t CustomSize = 4;

class aicAlphaImage : public forms::UserControl, public ICrossComm {
  public:
    aicAlphaImage(forms::Container& parent, forms::Bounds twips,
                  std::optional<forms::PropertyBag> stored = {});
    ~aicAlphaImage() override;

    std::string_view TypeName() const override { return "aicAlphaImage"; }

    // --- Methods ------------------------------------------------------------------
    void ClearImage();
    // Reads the container's scale mode again and repaints.
    void Refresh();
    // The loaders answer whether an image was loaded. The desired icon size and depth pick
    // an entry of a multi-image source; below 1 they become the control's size and 32, and
    // are written back.
    bool LoadImage_FromArray(std::span<const uint8_t> inStream);
    bool LoadImage_FromArray(std::span<const uint8_t> inStream, int32_t& desiredIconWidth,
                             int32_t& desiredIconHeight, int32_t& desiredIconBitDepth);
    bool LoadImage_FromFile(const std::wstring& FileName);
    bool LoadImage_FromFile(const std::wstring& FileName, int32_t& desiredIconWidth,
                            int32_t& desiredIconHeight, int32_t& desiredIconBitDepth);
    bool LoadImage_FromStdPicture(IPicture* stdPic);
    bool LoadImage_FromClipboard();
    bool LoadImage_FromHandle(HANDLE Handle);
    bool LoadImage_FromResource(HMODULE VBglobal, const c32bppDIB::ResourceName& ResSection,
                                const c32bppDIB::ResourceName& ResID);
    bool LoadImage_FromResource(HMODULE VBglobal, const c32bppDIB::ResourceName& ResSection,
                                const c32bppDIB::ResourceName& ResID, int32_t& desiredIconWidth,
                                int32_t& desiredIconHeight, int32_t& desiredIconBitDepth);
    bool LoadImage_FromOrignalBytes();
    bool LoadImage_FromOrignalBytes(int32_t& desiredIconWidth, int32_t& desiredIconHeight,
                                    int32_t& desiredIconBitDepth);
    // Replaces the pixels in place (same size); false without an image.
    bool SetImageBytes(std::span<const uint8_t> imgBytes, bool isBGRformat = true,
                       bool isBottomUp = false);
    // The scaled size of the image for a method (-1: the current one) and a target size
    // (below 1: the control's); untouched without an image.
    void GetImageScales(int32_t& Width, int32_t& Height, int32_t ScaleMethod = -1,
                        int32_t desiredWidth = 0, int32_t desiredHeight = 0,
                        bool asRotatedImage = false);
    int32_t ImageType() const;
    void FadeInOut(int32_t FinalOpacity, int32_t FadeStepPercent = 10,
                   int32_t FadeDelayInterval = 30);

    // --- Properties ---------------------------------------------------------------
    bool AutoRedraw() const;
    void AutoRedraw(bool v);
    int32_t HitTest() const { return hitTest_; }
    void HitTest(int32_t v);
    int32_t MaskColor() const { return maskColor_; }
    void MaskColor(int32_t v);
    int32_t MaskUsed() const { return maskUsed_; }
    void MaskUsed(int32_t Style);
    bool InversedImage() const;
    void InversedImage(bool v);
    bool AutoSize() const;
    void AutoSize(bool v);
    int32_t ScaleMethod() const { return scaleMethod_; }
    void ScaleMethod(int32_t v);
    bool StretchQuality() const;
    void StretchQuality(bool v);
    int32_t Opacity() const { return opacity_; }
    void Opacity(int32_t v);
    int32_t Mirror() const { return mirror_; }
    void Mirror(int32_t v);
    bool KeepOriginalFormat() const;
    void KeepOriginalFormat(bool v);
    int32_t GrayScale() const { return grayScaleMethod_ + 1; }
    void GrayScale(int32_t v);
    bool RotateEnabled() const;
    void RotateEnabled(bool v);
    int32_t Rotation() const { return rotation_; }
    void Rotation(int32_t v);
    bool Enabled() const { return UserControl::Enabled(); }
    void Enabled(bool v);
    bool ShadowEnabled() const;
    void ShadowEnabled(bool v);
    int32_t ShadowColor() const { return shadowColor_; }
    void ShadowColor(int32_t v);
    int32_t ShadowOffsetX() const { return shadowOffsetX_; }
    void ShadowOffsetX(int32_t v);
    int32_t ShadowOffsetY() const { return shadowOffsetY_; }
    void ShadowOffsetY(int32_t v);
    int32_t ShadowDepth() const { return shadowDepth_; }
    void ShadowDepth(int32_t v);
    int32_t ShadowOpacity() const { return shadowOpacity_; }
    void ShadowOpacity(int32_t v);
    int32_t MousePointer() const { return UserControl::MousePointer(); }
    void MousePointer(int32_t v);
    const forms::Picture& MouseIcon() const { return UserControl::MouseIcon(); }
    void MouseIcon(forms::Picture v);
    int32_t OLEDropMode() const { return UserControl::OLEDropMode(); }
    void OLEDropMode(int32_t v);

    void OffsetShadow(int32_t X, int32_t Y);
    // SetOffsets true: moves the drawn image (and its hit shape) to (X, Y) and sets the
    // shadow offsets that are non-zero; false: reads the current offsets back.
    void OffsetImage(bool SetOffsets, int32_t& X, int32_t& Y);
    void OffsetImage(bool SetOffsets, int32_t& X, int32_t& Y, int32_t& ShadowX, int32_t& ShadowY);
    bool isMouseOver() const;
    bool GDIplusInitialized() const;
    bool GDIplusEnabled() const;
    float IntensityOffset() const { return intensityOffset_; }
    void IntensityOffset(float v);

    // --- ICrossComm ---------------------------------------------------------------
    std::shared_ptr<cCrossComm> CrossTalkClass() override { return shared_; }
    void ReleaseMouseCapture() override;

    // --- Events -------------------------------------------------------------------
    forms::Event<int16_t> Click; // Button
    forms::Event<int16_t> DblClick;
    forms::Event<> MouseExit;
    forms::Event<> MouseEnter;
    forms::Event<int16_t, int16_t, float, float> MouseUp; // Button, Shift, X, Y
    forms::Event<int16_t, int16_t, float, float> MouseMove;
    forms::Event<int16_t, int16_t, float, float> MouseDown;
    forms::Event<int16_t&, int16_t> KeyDown; // KeyCode, Shift
    forms::Event<int16_t&> KeyPress;         // KeyAscii
    forms::Event<int16_t&, int16_t> KeyUp;
    // Data, Effect, Button, Shift, X, Y
    forms::Event<forms::DataObject&, int32_t&, int16_t, int16_t, float, float> OLEDragDrop;
    // ..., State
    forms::Event<forms::DataObject&, int32_t&, int16_t, int16_t, float, float, int16_t> OLEDragOver;
    forms::Event<int32_t> FadeTerminated; // CurrentOpacity

    // --- Inspection (tests, diagnostics) ------------------------------------------
    struct Layout {
        int32_t DrawLeft, DrawTop, DrawWidth, DrawHeight, RotatedSize;
        bool IsActualSize;
    };
    Layout CurrentLayout() const {
        return {drawLeft_, drawTop_, drawWidth_, drawHeight_, rotatedSize_, isActualSize_};
    }
    // The image object; its GDI+ switch also governs the back buffer and shadow made from it.
    const c32bppDIB& Image() const { return *image_; }
    c32bppDIB& Image() { return *image_; }
    bool HasBackBuffer() const { return static_cast<bool>(backBuffer_); }
    bool HasShadowImage() const { return static_cast<bool>(shadowImage_); }
    const c32bppDIB* ShadowImage() const { return shadowImage_.get(); }
    int32_t ContainerScaleMode() const { return containerScaleMode_; }
    // How often the costly steps ran: layouts, drawings of the laid-out image (back buffer
    // or paint cache), shadow blurs and hit shapes.
    struct WorkCounts {
        int layouts = 0;
        int drawings = 0;
        int shadowBlurs = 0;
        int hitShapes = 0;
    };
    const WorkCounts& Work() const { return work_; }
    intptr_t Identity() { return IdentityOf(static_cast<ICrossComm*>(this)); }

    // The host's word that the pointer left this control's rectangle (after it may have
    // asked the control now under the pointer): only the instance that holds the pointer
    // listens, so that a stale inquiry never takes the pointer from the new holder.
    void PointerLeft(float x, float y) override;

  protected:
    void UserControl_Initialize() override;
    void UserControl_InitProperties() override;
    void UserControl_ReadProperties(forms::PropertyBag& bag) override;
    void UserControl_Show() override;
    void UserControl_Hide() override;
    void UserControl_Resize() override;
    void UserControl_Paint() override;
    void UserControl_Terminate() override;
    void UserControl_HitTest(float X, float Y, int16_t& HitResult) override;
    void UserControl_MouseDown(int16_t Button, int16_t Shift, float X, float Y) override;
    void UserControl_MouseMove(int16_t Button, int16_t Shift, float X, float Y) override;
    void UserControl_MouseUp(int16_t Button, int16_t Shift, float X, float Y) override;
    void UserControl_Click() override;
    void UserControl_DblClick() override;
    void UserControl_KeyDown(int16_t& KeyCode, int16_t Shift) override;
    void UserControl_KeyPress(int16_t& KeyAscii) override;
    void UserControl_KeyUp(int16_t& KeyCode, int16_t Shift) override;
    void UserControl_OLEDragOver(forms::DataObject& Data, int32_t& Effect, int16_t Button,
                                 int16_t Shift, float X, float Y, int16_t State) override;
    void UserControl_OLEDragDrop(forms::DataObject& Data, int32_t& Effect, int16_t Button,
                                 int16_t Shift, float X, float Y) override;

  private:
    bool RunTime() const;
    bool Flag(uint32_t bit) const { return (flags_ & bit) != 0; }
    void SetFlag(uint32_t bit, bool on);
    int32_t ScaleWidthPx() const;
    int32_t ScaleHeightPx() const;
    void ReadContainerScaleMode();
    void Repaint();
    void ConnectSharedState();
    void ApplyMirror(int32_t t);
    void ApplyLoadedImage();
    void RemoveMask();
    void Rebuild();
    void RelayoutAndRefresh();
    bool BuildBackBuffer(bool force, bool rebuildHitRegion);
    void BuildShadowImage();
    void BuildHitRegion();
    bool HitsPoint(int32_t x, int32_t y) const;
    void ShareToken();
    // The image's pixels changed: every drawing made from them is stale.
    void PixelsChanged() { ++pixelsVersion_; }
    DrawKey CurrentDrawKey() const;
    LayoutKey CurrentLayoutKey() const;
    // Draws the laid-out image (scaled and turned, full opacity) into target: control-sized
    // when turned or asked for, else of the scaled size.
    void DrawLaidOut(c32bppDIB& target, bool controlSized);
    // The paint cache without a back buffer: the laid-out image, drawn once per layout.
    c32bppDIB* PaintCache();
    // Renders cached pixels 1:1 over the part `paint` of the control; `origin` is where the
    // cache's top-left lies in the control.
    void PaintCached(HDC dc, c32bppDIB& cache, const RECT& paint, POINT origin);
    // Moves the hit shape by (dx, dy).
    void MoveHitShape(int32_t dx, int32_t dy);
    // A new image object with the image's GDI+ switch and token.
    std::unique_ptr<c32bppDIB> NewDIB() const;
    void DesiredDefaults(int32_t& w, int32_t& h, int32_t& depth) const;
    bool AfterPictureLoad(bool loaded);
    void FadeTimerTick(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);
    void MouseTrackTick(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);
    UINT_PTR MouseTimerId() { return static_cast<UINT_PTR>(Identity()); }
    UINT_PTR FadeTimerId() { return static_cast<UINT_PTR>(-Identity()); }
    float ToContainerX(float x) const;
    float ToContainerY(float y) const;

    uint32_t flags_ = 0;
    uint16_t buttonState_ = 0;
    int32_t rotation_ = 0;
    int32_t hitTest_ = 0;
    win::UniqueRegion hitRegion_;
    RECT hitRect_{};
    int32_t grayScaleMethod_ = -1;
    int32_t containerScaleMode_ = 9;
    int32_t scaleMethod_ = 0;
    int32_t mirror_ = 0;
    int32_t opacity_ = 100;
    float intensityOffset_ = 0;
    int32_t maskColor_ = static_cast<int32_t>(0x8000000F);
    bool maskActive_ = false;
    int32_t appliedMaskColor_ = static_cast<int32_t>(0x8000000F);
    int32_t maskUsed_ = 0;
    int32_t drawLeft_ = 0;
    int32_t drawTop_ = 0;
    int32_t drawWidth_ = 0;
    int32_t drawHeight_ = 0;
    int32_t rotatedSize_ = 0;
    int32_t imageOffsetX_ = 0;
    int32_t imageOffsetY_ = 0;
    bool isActualSize_ = false;
    std::unique_ptr<c32bppDIB> image_;
    std::unique_ptr<c32bppDIB> backBuffer_;
    HWND containerHwnd_ = nullptr;
    int32_t controlLeft_ = 0;
    int32_t controlTop_ = 0;
    // The last fade's step, target and interval; a fade runs while its timer is set.
    int32_t fadeStep_ = 0;
    int32_t fadeInterval_ = 10;
    int32_t fadeTarget_ = 0;
    std::unique_ptr<c32bppDIB> shadowImage_;
    int32_t shadowColor_ = 0x404040;
    int32_t shadowOffsetX_ = 2;
    int32_t shadowOffsetY_ = 2;
    int32_t shadowDepth_ = 2;
    int32_t shadowOpacity_ = 50;
    std::shared_ptr<cCrossComm> shared_;
    TimerEntries timers_;

    // What the cached drawings were made for (none: not made or stale).
    uint64_t pixelsVersion_ = 1;
    std::optional<LayoutKey> laidOut_;
    std::optional<DrawKey> backBufferDrawn_;
    std::unique_ptr<c32bppDIB> paintCache_;
    std::optional<DrawKey> paintCacheDrawn_;
    struct ShadowKey {
        DrawKey drawn;
        int32_t depth = 0;
        int32_t color = 0;
        bool prepared = false;
        bool operator==(const ShadowKey&) const = default;
    };
    std::optional<ShadowKey> shadowMade_;
    struct HitKey {
        DrawKey drawn;
        int32_t mode = 0;
        bool operator==(const HitKey&) const = default;
    };
    std::optional<HitKey> hitShapeMade_;
    WorkCounts work_;
    // Expires with the object: tells code that raised an event whether a handler destroyed it.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

} // namespace moirelle::control
