// Benchmarks of the processing infrastructure, reported as ratios within one run:
//   colour conversion of a 24-megapixel image on all workers against one thread (8 and 16 bit);
//   the fast pixel reader plus writer over 24 megapixels, in nanoseconds per pixel;
//   host read and write through the reference host against a plain copy.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "HostTrafficBench.h"
#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "core/BufferManager.h"
#include "core/GammaTables.h"
#include "core/RunResult.h"
#include "core/WorkerThreads.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;  // 24 megapixels

double SecondsOf(void (*work)(void*), void* context) {
  auto start = std::chrono::steady_clock::now();
  work(context);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void FillPattern(ImageRecord* image) {
  auto* bytes = static_cast<uint8_t*>(image->pixels.block);
  for (uint64_t i = 0; i < image->pixels.size; ++i) bytes[i] = uint8_t((i * 2654435761u) >> 24);
}

struct ConversionRun {
  ImageRecord* image;
  bool multiThreaded;
};

// Every measured run converts sRGB to the linear working space; the way back is not measured.
void Convert(void* context) {
  auto* run = static_cast<ConversionRun*>(context);
  ConvertColorOf(run->image, LinearWorkingProfile(), run->multiThreaded);
}

void ConvertBack(ConversionRun* run) { ConvertColorOf(run->image, StandardProfile(), true); }

void BenchmarkConversion(int32_t mode, const char* name) {
  ImageRecord image;
  ImageRect rect{0, 0, kWidth, kHeight};
  if (!CreateImage(&image, rect, rect, mode, StandardProfile(), false, false)) return;
  FillPattern(&image);
  ConversionRun single{&image, false};
  ConversionRun parallel{&image, true};
  Convert(&single);  // builds the transforms outside the measurement
  ConvertBack(&single);
  double one = SecondsOf(Convert, &single);
  ConvertBack(&single);
  double all = SecondsOf(Convert, &parallel);
  printf("ConvertColorOf %s 24 MP: one thread %.3f s, %u workers %.3f s, speed-up %.2fx\n", name, one, GetWorkerCount(), all,
         one / all);
  ReleaseImage(&image);
}

void ReadAndWrite(void* context) {
  auto* image = static_cast<ImageRecord*>(context);
  PixelValue pixel;
  for (int64_t y = 0; y < image->validHeight; ++y) {
    for (int64_t x = 0; x < image->validWidth; ++x) {
      image->readPixel(image, x, y, &pixel);
      pixel.red ^= 1;
      image->writePixel(image, x, y, pixel);
    }
  }
}

void BenchmarkPixelAccess(int32_t mode, const char* name, double* baseline) {
  ImageRecord image;
  ImageRect rect{0, 0, kWidth, kHeight};
  if (!CreateImage(&image, rect, rect, mode, StandardProfile(), false, false)) return;
  FillPattern(&image);
  double seconds = SecondsOf(ReadAndWrite, &image);
  double perPixel = seconds * 1e9 / (double(kWidth) * kHeight);
  if (*baseline == 0) *baseline = perPixel;
  printf("read + write %-6s %.2f ns/pixel (%.2fx the 8-bit cost)\n", name, perPixel, perPixel / *baseline);
  ReleaseImage(&image);
}

}  // namespace

int main() {
  int16_t result = 0;
  gResult = &result;
  InitializeBufferManager();
  CreateGammaTableMutex();
  HostProfileSource host;
  host.imageMode = 3;
  InitializeColorConversion(host);
  BenchmarkConversion(plugInModeRGBColor, "8-bit");
  BenchmarkConversion(plugInModeRGB48, "16-bit");
  double baseline = 0;
  BenchmarkPixelAccess(plugInModeRGBColor, "8-bit", &baseline);
  BenchmarkPixelAccess(plugInModeRGB48, "16-bit", &baseline);
  BenchmarkPixelAccess(plugInModeRGB96, "32-bit", &baseline);
  TerminateColorConversion();
  BenchmarkHostTraffic();
  ReleaseGammaTables();
  TerminateBufferManager();
  return result == 0 ? 0 : 1;
}
