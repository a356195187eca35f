// highlights FILE [--quantity Q] [--mode gray|rgb] [--depth 8|16|32] [--mask FILE] [--no-profile]
// Reads an image as the reference host delivers it, runs the plug-in's light source detection on
// it and prints the table as the listing dialog shows it, with the detection time.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "HostCallbacks.h"
#include "HostSession.h"
#include "ImageFiles.h"
#include "analysis/LightSourceAnalysis.h"
#include "analysis/LightSourceListing.h"
#include "analysis/TableOperations.h"
#include "color/ColorProfiles.h"
#include "core/BufferManager.h"
#include "core/GammaTables.h"
#include "core/Progress.h"
#include "core/RunResult.h"
#include "host/HostImage.h"
#include "host/HostState.h"

namespace {

struct Options {
  std::wstring input, mask;
  int quantity = -1;
  int depth = 0;
  int gray = -1;
  bool noProfile = false;
};

bool Parse(int argc, wchar_t** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == L"--quantity" && hasValue) options->quantity = _wtoi(argv[++i]);
    else if (arg == L"--depth" && hasValue) options->depth = _wtoi(argv[++i]);
    else if (arg == L"--mode" && hasValue) options->gray = std::wstring(argv[++i]) == L"gray" ? 1 : 0;
    else if (arg == L"--mask" && hasValue) options->mask = argv[++i];
    else if (arg == L"--no-profile") options->noProfile = true;
    else if (arg.rfind(L"--", 0) != 0 && options->input.empty()) options->input = arg;
    else return false;
  }
  return !options->input.empty() && options->quantity <= 100 && (options->depth == 0 || options->depth == 8 ||
                                                                  options->depth == 16 || options->depth == 32);
}

int16 ModeOf(const ImageFileInfo& info) {
  if (info.gray) return info.depth == 32 ? plugInModeGray32 : info.depth == 16 ? plugInModeGray16 : plugInModeGrayScale;
  return info.depth == 32 ? plugInModeRGB96 : info.depth == 16 ? plugInModeRGB48 : plugInModeRGBColor;
}

bool OpenProfiles(const FilterRecord* record) {
  HostProfileSource source;
  source.profileHandle = record->iCCprofileData;
  source.profileSize = record->iCCprofileSize;
  source.lockHandle = record->handleProcs->lockProc;
  source.unlockHandle = record->handleProcs->unlockProc;
  source.imageMode = record->imageMode;
  return InitializeColorConversion(source);
}

void PrintTable(int quantity, double seconds) {
  char line[kListingLineSize];
  FormatLightSourceCount(line, sizeof line, gLightSourceTable.count);
  fputs(line, stdout);
  uint32_t threshold = quantity >= 0 ? QuantityThreshold(gLightSourceTable, quantity) : 0;
  for (uint64_t i = 0; i < gLightSourceTable.count; ++i) {
    const LightSource& entry = gLightSourceTable.Entries()[i];
    FormatLightSourceLine(line, sizeof line, int64_t(i), entry);
    if (quantity >= 0) printf("%s%s\n", line, IsLightSourceVisible(entry, threshold) ? "  visible" : "");
    else printf("%s\n", line);
  }
  printf("\nmaxBrightness = %X, minBrightness = %X\n", gLightSourceTable.maxBrightness, gLightSourceTable.minBrightness);
  if (quantity >= 0) printf("Quantity %d: threshold %X\n", quantity, threshold);
  printf("Detection time: %.3f s\n", seconds);
}

int Detect(const Options& options) {
  DocumentImage image;
  ImageFileInfo info;
  std::string error;
  if (!LoadImageFile(options.input, options.depth, options.gray, &image, &info, &error)) {
    fprintf(stderr, "highlights: %s\n", error.c_str());
    return 1;
  }
  HostDocument document;
  document.width = image.width;
  document.height = image.height;
  document.imageMode = ModeOf(info);
  document.hasTransparency = info.alpha;
  if (!options.mask.empty()) {
    DocumentImage mask;
    ImageFileInfo maskInfo;
    if (!LoadImageFile(options.mask, 8, 1, &mask, &maskInfo, &error) || mask.width != image.width || mask.height != image.height) {
      fprintf(stderr, "highlights: the mask: %s\n", error.empty() ? "not the document's size" : error.c_str());
      return 1;
    }
    image.mask = std::move(mask.planes[0]);
    document.hasSelection = true;
  }
  FILE* quiet = fopen("NUL", "w");
  HostOptions hostOptions;
  hostOptions.out = quiet;
  HostSession session(document, hostOptions);
  session.SetImage(std::move(image), options.noProfile ? std::vector<uint8_t>{} : info.iccProfile);
  session.Activate();
  gFilterRecord = session.Record();
  gFilterRecord->bigDocumentData->PluginUsing32BitCoordinates = 1;
  int16_t result = 0;
  gResult = &result;
  InitializeBufferManager();
  CreateGammaTableMutex();
  InitializeImageEditorProgressBar();
  int status = 1;
  if (!OpenProfiles(gFilterRecord) || !ReadHostImage()) {
    fprintf(stderr, "highlights: the image could not be read (%d)\n", result);
  } else {
    auto start = std::chrono::steady_clock::now();
    if (StartLightSourceAnalysis(gHostImage)) WaitForLightSourceAnalysis(INFINITE);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != 0) {
      fprintf(stderr, "highlights: the detection failed with %d\n", result);
    } else {
      PrintTable(options.quantity, seconds);
      status = 0;
    }
    StopLightSourceAnalysis();
  }
  DestroyHostImage();
  TerminateColorConversion();
  ReleaseGammaTables();
  TerminateImageEditorProgressBar();
  TerminateBufferManager();
  gFilterRecord = nullptr;
  if (quiet != nullptr) fclose(quiet);
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!Parse(argc, argv, &options)) {
    fprintf(stderr, "usage: highlights FILE [--quantity 0-100] [--mode gray|rgb] [--depth 8|16|32] [--mask FILE] [--no-profile]\n");
    return 64;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int status = Detect(options);
  CoUninitialize();
  return status;
}
