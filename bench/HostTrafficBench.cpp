// Reading and writing a 24-megapixel document through the reference host's advanceState,
// in megapixels per second, against a plain copy of the same bytes in the same run.
#include "HostTrafficBench.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "HostCallbacks.h"
#include "HostSession.h"
#include "color/ColorProfiles.h"
#include "core/Progress.h"
#include "host/HostImage.h"
#include "host/HostState.h"

namespace {

constexpr int32 kWidth = 6000;
constexpr int32 kHeight = 4000;

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The copy baseline moves the document's bytes twice, as a read and a write do.
double CopySeconds(const std::vector<std::vector<uint8_t>>& planes) {
  auto start = std::chrono::steady_clock::now();
  for (const auto& plane : planes) {
    std::vector<uint8_t> copy(plane.size());
    memcpy(copy.data(), plane.data(), plane.size());
    memcpy(const_cast<uint8_t*>(plane.data()), copy.data(), plane.size());
  }
  return Since(start);
}

void BenchmarkMode(int16 mode, const char* name) {
  FILE* quiet = fopen("NUL", "w");
  HostDocument document;
  document.imageMode = mode;
  document.width = kWidth;
  document.height = kHeight;
  HostOptions options;
  options.out = quiet;
  options.tileSize = 1024;
  ResetHostObservations();
  HostSession session(document, options);
  session.Activate();
  gFilterRecord = session.Record();
  gFilterRecord->bigDocumentData->PluginUsing32BitCoordinates = 1;
  InitializeImageEditorProgressBar();
  SetImageEditorProgressProcs(gFilterRecord->progressProc, gFilterRecord->abortProc);
  HostProfileSource source;
  source.imageMode = mode;
  InitializeColorConversion(source);

  double copy = CopySeconds(session.Image().planes);
  auto start = std::chrono::steady_clock::now();
  bool read = ReadHostImage();
  double readSeconds = Since(start);
  start = std::chrono::steady_clock::now();
  if (read) WriteHostImage(gHostImage);
  double writeSeconds = Since(start);
  DestroyHostImage();
  TerminateColorConversion();
  TerminateImageEditorProgressBar();
  gFilterRecord = nullptr;
  if (quiet != nullptr) fclose(quiet);
  if (!read) {
    printf("host read %s: failed\n", name);
    return;
  }
  double megapixels = double(kWidth) * kHeight / 1e6;
  printf("host read + write %s 24 MP: read %.0f MP/s, write %.0f MP/s, copy %.0f MP/s; read + write takes %.1fx the copy\n",
         name, megapixels / readSeconds, megapixels / writeSeconds, megapixels / copy, (readSeconds + writeSeconds) / copy);
}

}  // namespace

void BenchmarkHostTraffic() {
  BenchmarkMode(plugInModeRGBColor, "8-bit");
  BenchmarkMode(plugInModeRGB48, "16-bit");
}
