// highlights FILE [--quantity Q] [--mode gray|rgb] [--depth 8|16|32] [--mask FILE] [--no-profile]
// Reads an image as the reference host delivers it, runs the plug-in's light source detection on
// it and prints the table as the listing dialog shows it, with the detection time.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ImageFileDetection.h"
#include "analysis/LightSourceListing.h"
#include "analysis/LightSourceTable.h"
#include "analysis/TableOperations.h"

namespace {

bool Parse(int argc, wchar_t** argv, ImageFileDetection* request, int* quantity) {
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == L"--quantity" && hasValue) *quantity = _wtoi(argv[++i]);
    else if (arg == L"--depth" && hasValue) request->depth = _wtoi(argv[++i]);
    else if (arg == L"--mode" && hasValue) request->gray = std::wstring(argv[++i]) == L"gray" ? 1 : 0;
    else if (arg == L"--mask" && hasValue) request->mask = argv[++i];
    else if (arg == L"--no-profile") request->noProfile = true;
    else if (arg.rfind(L"--", 0) != 0 && request->input.empty()) request->input = arg;
    else return false;
  }
  bool depthKnown = request->depth == 0 || request->depth == 8 || request->depth == 16 || request->depth == 32;
  return !request->input.empty() && *quantity <= 100 && depthKnown;
}

void PrintTable(void* context, double seconds) {
  int quantity = *static_cast<int*>(context);
  char line[kListingLineSize];
  FormatLightSourceCount(line, sizeof line, gLightSourceTable.count);
  fputs(line, stdout);
  uint32_t threshold = quantity >= 0 ? QuantityThreshold(gLightSourceTable, quantity) : 0;
  for (uint64_t i = 0; i < gLightSourceTable.count; ++i) {
    const LightSource& entry = gLightSourceTable.Entries()[i];
    FormatLightSourceLine(line, sizeof line, int64_t(i), entry);
    printf("%s%s\n", line, quantity >= 0 && IsLightSourceVisible(entry, threshold) ? "  visible" : "");
  }
  printf("\nmaxBrightness = %X, minBrightness = %X\n", gLightSourceTable.maxBrightness, gLightSourceTable.minBrightness);
  if (quantity >= 0) printf("Quantity %d: threshold %X\n", quantity, threshold);
  printf("Detection time: %.3f s\n", seconds);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ImageFileDetection request;
  int quantity = -1;
  if (!Parse(argc, argv, &request, &quantity)) {
    fprintf(stderr, "usage: highlights FILE [--quantity 0-100] [--mode gray|rgb] [--depth 8|16|32] [--mask FILE] [--no-profile]\n");
    return 64;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::string error;
  bool detected = DetectInImageFile(request, PrintTable, &quantity, &error);
  if (!detected) fprintf(stderr, "highlights: %s\n", error.c_str());
  CoUninitialize();
  return detected ? 0 : 1;
}
