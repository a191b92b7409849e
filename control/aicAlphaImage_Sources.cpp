// Where the image control's picture comes from: files, byte arrays, resources, picture
// objects, the clipboard, handles, the kept source bytes and raw pixels; and drops.
#include "control/aicAlphaImage.h"

#include <cmath>

namespace moirelle::control {

void aicAlphaImage::DesiredDefaults(int32_t& w, int32_t& h, int32_t& depth) const {
    if (h < 1) h = ScaleHeightPx();
    if (w < 1) w = ScaleWidthPx();
    if (depth < 1) depth = 32;
}

bool aicAlphaImage::LoadImage_FromArray(std::span<const uint8_t> inStream) {
    int32_t w = 0, h = 0, d = 0;
    return LoadImage_FromArray(inStream, w, h, d);
}

bool aicAlphaImage::LoadImage_FromArray(std::span<const uint8_t> inStream,
                                        int32_t& desiredIconWidth, int32_t& desiredIconHeight,
                                        int32_t& desiredIconBitDepth) {
    DesiredDefaults(desiredIconWidth, desiredIconHeight, desiredIconBitDepth);
    if (!image_->LoadPicture_Stream(inStream, desiredIconWidth, desiredIconHeight, 0, 0,
                                    KeepOriginalFormat(), desiredIconBitDepth))
        return false;
    ApplyLoadedImage();
    return true;
}

bool aicAlphaImage::LoadImage_FromFile(const std::wstring& FileName) {
    int32_t w = 0, h = 0, d = 0;
    return LoadImage_FromFile(FileName, w, h, d);
}

bool aicAlphaImage::LoadImage_FromFile(const std::wstring& FileName, int32_t& desiredIconWidth,
                                       int32_t& desiredIconHeight, int32_t& desiredIconBitDepth) {
    DesiredDefaults(desiredIconWidth, desiredIconHeight, desiredIconBitDepth);
    if (!image_->LoadPicture_File(FileName, desiredIconWidth, desiredIconHeight,
                                  KeepOriginalFormat(), desiredIconBitDepth))
        return false;
    ApplyLoadedImage();
    return true;
}

bool aicAlphaImage::LoadImage_FromResource(HMODULE VBglobal,
                                           const c32bppDIB::ResourceName& ResSection,
                                           const c32bppDIB::ResourceName& ResID) {
    int32_t w = 0, h = 0, d = 0;
    return LoadImage_FromResource(VBglobal, ResSection, ResID, w, h, d);
}

bool aicAlphaImage::LoadImage_FromResource(HMODULE VBglobal,
                                           const c32bppDIB::ResourceName& ResSection,
                                           const c32bppDIB::ResourceName& ResID,
                                           int32_t& desiredIconWidth, int32_t& desiredIconHeight,
                                           int32_t& desiredIconBitDepth) {
    DesiredDefaults(desiredIconWidth, desiredIconHeight, desiredIconBitDepth);
    if (!image_->LoadPicture_Resource(ResID, ResSection, VBglobal, desiredIconWidth,
                                      desiredIconHeight, 0, 0, desiredIconBitDepth))
        return false;
    ApplyLoadedImage();
    return true;
}

bool aicAlphaImage::LoadImage_FromOrignalBytes() {
    int32_t w = 0, h = 0, d = 0;
    return LoadImage_FromOrignalBytes(w, h, d);
}

bool aicAlphaImage::LoadImage_FromOrignalBytes(int32_t& desiredIconWidth,
                                               int32_t& desiredIconHeight,
                                               int32_t& desiredIconBitDepth) {
    DesiredDefaults(desiredIconWidth, desiredIconHeight, desiredIconBitDepth);
    if (!image_->LoadPicture_FromOrignalFormat(desiredIconWidth, desiredIconHeight,
                                               desiredIconBitDepth))
        return false;
    ApplyLoadedImage();
    return true;
}

bool aicAlphaImage::AfterPictureLoad(bool loaded) {
    if (!loaded) return false;
    if (KeepOriginalFormat()) {
        std::vector<uint8_t> bytes;
        if (image_->SaveToStream(bytes)) image_->SetOriginalFormatBytes(bytes);
    }
    ApplyLoadedImage();
    return true;
}

bool aicAlphaImage::LoadImage_FromStdPicture(IPicture* stdPic) {
    return AfterPictureLoad(image_->LoadPicture_StdPicture(stdPic));
}

bool aicAlphaImage::LoadImage_FromClipboard() {
    return AfterPictureLoad(image_->LoadPicture_ClipBoard());
}

bool aicAlphaImage::LoadImage_FromHandle(HANDLE Handle) {
    return AfterPictureLoad(image_->LoadPicture_ByHandle(Handle));
}

bool aicAlphaImage::SetImageBytes(std::span<const uint8_t> imgBytes, bool isBGRformat,
                                  bool isBottomUp) {
    if (image_->ImageType() == imgNone) return false;
    if (!image_->SetDIBbits(imgBytes, isBGRformat, true, true, isBottomUp, 0, 0, 0, 0))
        return false;
    PixelsChanged();
    if (!BuildBackBuffer(false, true)) BuildHitRegion();
    if (ShadowEnabled()) BuildShadowImage();
    Repaint();
    return true;
}

// --- Drag and drop --------------------------------------------------------------------

void aicAlphaImage::UserControl_OLEDragDrop(forms::DataObject& Data, int32_t& Effect,
                                            int16_t Button, int16_t Shift, float X, float Y) {
    // Fills the wide file list from the drop's data; the answer is not needed.
    c32bppDIB::GetDroppedFileNames(&Data);
    OLEDragDrop(Data, Effect, Button, Shift, ToContainerX(X), ToContainerY(Y));
}

void aicAlphaImage::UserControl_OLEDragOver(forms::DataObject& Data, int32_t& Effect,
                                            int16_t Button, int16_t Shift, float X, float Y,
                                            int16_t State) {
    OLEDragOver(Data, Effect, Button, Shift, ToContainerX(X), ToContainerY(Y), State);
}

} // namespace moirelle::control
