#include "ImageFileDetection.h"

#include <windows.h>

#include <chrono>
#include <cstdio>

#include "HostSession.h"
#include "ImageFiles.h"
#include "analysis/LightSourceAnalysis.h"
#include "color/ColorProfiles.h"
#include "core/BufferManager.h"
#include "core/GammaTables.h"
#include "core/Progress.h"
#include "core/RunResult.h"
#include "host/HostImage.h"
#include "host/HostState.h"

namespace {

int16 ModeOf(const ImageFileInfo& info) {
  if (info.gray) return info.depth == 32 ? plugInModeGray32 : info.depth == 16 ? plugInModeGray16 : plugInModeGrayScale;
  return info.depth == 32 ? plugInModeRGB96 : info.depth == 16 ? plugInModeRGB48 : plugInModeRGBColor;
}

bool LoadDocument(const ImageFileDetection& request, DocumentImage* image, ImageFileInfo* info, HostDocument* document,
                  std::string* error) {
  if (!LoadImageFile(request.input, request.depth, request.gray, image, info, error)) return false;
  document->width = image->width;
  document->height = image->height;
  document->imageMode = ModeOf(*info);
  document->hasTransparency = info->alpha;
  if (request.mask.empty()) return true;
  DocumentImage mask;
  ImageFileInfo maskInfo;
  if (!LoadImageFile(request.mask, 8, 1, &mask, &maskInfo, error)) return false;
  if (mask.width != image->width || mask.height != image->height) {
    *error = "the mask is not the size of the image";
    return false;
  }
  image->mask = std::move(mask.planes[0]);
  document->hasSelection = true;
  return true;
}

}  // namespace

bool DetectInImageFile(const ImageFileDetection& request, void (*withTable)(void* context, double seconds), void* context,
                       std::string* error) {
  DocumentImage image;
  ImageFileInfo info;
  HostDocument document;
  if (!LoadDocument(request, &image, &info, &document, error)) return false;
  FILE* quiet = fopen("NUL", "w");
  HostOptions options;
  options.out = quiet;
  bool detected = false;
  {
    HostSession session(document, options);
    session.SetImage(std::move(image), request.noProfile ? std::vector<uint8_t>{} : info.iccProfile);
    session.Activate();
    gFilterRecord = session.Record();
    gFilterRecord->bigDocumentData->PluginUsing32BitCoordinates = 1;
    int16_t result = 0;
    int16_t* previousResult = gResult;
    gResult = &result;
    InitializeBufferManager();
    CreateGammaTableMutex();
    InitializeImageEditorProgressBar();
    if (!InitializeColorConversion(HostProfileOfRecord()) || !ReadHostImage()) {
      *error = "the image could not be read (" + std::to_string(result) + ")";
    } else {
      auto start = std::chrono::steady_clock::now();
      if (StartLightSourceAnalysis(gHostImage)) WaitForLightSourceAnalysis(INFINITE);
      double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (result != 0) {
        *error = "the detection failed with " + std::to_string(result);
      } else {
        withTable(context, seconds);
        detected = true;
      }
      StopLightSourceAnalysis();
    }
    DestroyHostImage();
    TerminateColorConversion();
    ReleaseGammaTables();
    TerminateImageEditorProgressBar();
    TerminateBufferManager();
    gFilterRecord = nullptr;
    gResult = previousResult;
  }
  if (quiet != nullptr) fclose(quiet);
  return detected;
}
