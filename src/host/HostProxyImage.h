// The HostProxyImage pyramid: the host image in the working profile and linear light, and 15
// levels each reduced by 2, from which the preview draws at any zoom.
#pragma once
#include "core/ImageRecord.h"
#include "preview/PreviewImageSource.h"

constexpr int kProxyLevels = 16;

// Level 0's mode: RGB 8-bit unless the preview asks for 16 bits (its OpenGL state decides).
void SetHostProxyImageMode(int32_t mode);
bool RenderHostProxyImage(const volatile bool* cancel);
bool GetHostProxyImageInfo(ImageRecord* record, double* scaleX, double* scaleY);
bool IsHostProxyImageRendered();
void ReleaseHostProxyImage();
// The rectangle of level k: every coordinate of level 0's times 1 / 2^k, never empty.
ImageRect ProxyLevelRect(const ImageRect& levelZero, int level);
// The pyramid of the current host image as the preview's picture.
PreviewImageSource HostPreviewImageSource();
