// Colour transforms built once per key and shared by every thread of a run (32 cached slots).
#pragma once
#include <cstdint>

#include "color/ProfileGamma.h"

struct ImageRecord;
typedef void* ColorTransform;  // a Little CMS transform handle

constexpr int kTransformCacheSize = 32;

bool CreateTransformCache();
void DestroyTransformCache();
uint32_t GetImageColorTransform(const ImageRecord& image);  // the Little CMS format of the image's mode
uint32_t AdjustFormatToProfile(uint32_t format, ColorProfile profile);
ColorTransform GetColorTransform(ColorProfile source, uint32_t inputFormat, ColorProfile target, uint32_t outputFormat);
int CachedTransformCount();
void InstallLittleCmsErrorHandler();
