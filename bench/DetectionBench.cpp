// The detection report: quality on synthetic scenes with known answers, counts and times on the
// photographs of the shared test set, and how detection time grows with the image's size.
// Run by `./bench.sh detection`, which keeps the output in bench/detection-report.md.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ImageFileDetection.h"
#include "analysis/AnalysisRun.h"
#include "analysis/LightSourceAnalysis.h"
#include "analysis/LightSourceTable.h"
#include "color/ColorProfiles.h"
#include "core/BufferManager.h"
#include "core/GammaTables.h"
#include "core/RunResult.h"
#include "core/WorkerThreads.h"
#include "support/SyntheticScene.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Random {
  uint32_t state;
  double Next() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
  }
};

// Lights of radius `smallest` to `largest` (log-uniform), apart from each other, near-white tints.
Scene RandomScene(int32_t width, int32_t height, int count, double smallest, double largest, uint32_t seed) {
  Scene scene;
  scene.width = width, scene.height = height, scene.seed = seed;
  Random random{seed};
  for (int attempt = 0; attempt < count * 40 && int(scene.lights.size()) < count; ++attempt) {
    SceneLight light{};
    light.radius = smallest * std::pow(largest / smallest, random.Next());
    double margin = 3 * light.radius + 4;
    light.x = margin + random.Next() * (width - 2 * margin);
    light.y = margin + random.Next() * (height - 2 * margin);
    light.x = std::round(light.x * 4) / 4, light.y = std::round(light.y * 4) / 4;
    light.soft = random.Next() < 0.5;
    light.red = 0.8 + 0.2 * random.Next(), light.green = 0.8 + 0.2 * random.Next(), light.blue = 0.8 + 0.2 * random.Next();
    double peak = std::max({light.red, light.green, light.blue});
    light.red /= peak, light.green /= peak, light.blue /= peak;
    bool apart = margin < width / 2.0 && margin < height / 2.0;
    for (const SceneLight& other : scene.lights) {
      double reach = 3 * (light.radius + other.radius) + 8;
      if (std::hypot(light.x - other.x, light.y - other.y) < reach) apart = false;
    }
    if (apart) scene.lights.push_back(light);
  }
  return scene;
}

// Runs the analysis of an image record and waits for it; the time in seconds, or -1.
double DetectRecord(const ImageRecord& image) {
  auto start = std::chrono::steady_clock::now();
  if (!StartLightSourceAnalysis(image)) return -1;
  WaitForLightSourceAnalysis(INFINITE);
  return RunResult() == 0 ? Since(start) : -1;
}

struct Quality {
  int lights = 0, found = 0, falsePositives = 0;
  double centreSum = 0, centreMax = 0, diameterSum = 0, diameterMax = 0;
};

void Score(const Scene& scene, Quality* q) {
  std::vector<bool> matched(gLightSourceTable.count, false);
  for (const SceneLight& light : scene.lights) {
    ++q->lights;
    const LightSource* best = nullptr;
    double bestDistance = std::max(light.radius, 2.0);
    for (uint64_t i = 0; i < gLightSourceTable.count; ++i) {
      const LightSource& e = gLightSourceTable.Entries()[i];
      double d = std::hypot(e.x - light.x, e.y - light.y);
      if (d <= std::max(light.radius, 2.0)) matched[i] = true;
      if (d <= bestDistance) best = &e, bestDistance = d;
    }
    if (best == nullptr) continue;
    ++q->found;
    q->centreSum += bestDistance;
    q->centreMax = std::max(q->centreMax, bestDistance);
    double truth = 2 * light.radius * (light.soft ? std::sqrt(2.0) : 1.0);
    double error = std::fabs(2 * best->radius - truth) / truth;
    q->diameterSum += error;
    q->diameterMax = std::max(q->diameterMax, error);
  }
  for (bool m : matched) q->falsePositives += m ? 0 : 1;
}

void ReportSyntheticQuality() {
  printf("## Synthetic scenes\n\n");
  printf("Eight 1600 x 1000 scenes, 40 lights each (radius 1 to 60 pixels, log-uniform; half flat discs, half\n"
         "overexposed blobs measured to their half level; near-white tints) on dark grain, 8-bit RGB.\n\n");
  printf("| radii | lights | recall | false positives | centre error mean / max (px) | diameter error mean / max |\n");
  printf("|---|---|---|---|---|---|\n");
  const double bands[][2] = {{1, 3}, {3, 12}, {12, 60}, {1, 60}};
  for (const auto& band : bands) {
    Quality q;
    for (uint32_t seed = 1; seed <= 8; ++seed) {
      Scene scene = RandomScene(1600, 1000, 40, band[0], band[1], seed * 7919);
      ImageRecord image;
      if (!RenderScene(scene, &image)) continue;
      if (DetectRecord(image) >= 0) Score(scene, &q);
      StopLightSourceAnalysis();
      ReleaseImage(&image);
    }
    printf("| %g-%g | %d | %.1f %% | %d | %.2f / %.2f | %.1f %% / %.1f %% |\n", band[0], band[1], q.lights,
           100.0 * q.found / std::max(1, q.lights), q.falsePositives, q.centreSum / std::max(1, q.found), q.centreMax,
           100.0 * q.diameterSum / std::max(1, q.found), 100.0 * q.diameterMax);
  }
  printf("\nLights of radius above 6 coarse pixels (24 here) are measured in the coarse pass, at a quarter of\n"
         "the resolution; their centres are good to half a coarse pixel.\n\n");
}

struct PhotoResult {
  uint64_t count;
  uint32_t digest;
  double seconds;
  AnalysisTimes phases;
  AnalysisCounts counts;
};

// FNV-1a over every entry's bytes: two runs with the same digest found the same table.
uint32_t TableDigest(const LightSourceTable& table) {
  uint32_t hash = 2166136261u;
  const auto* bytes = reinterpret_cast<const uint8_t*>(table.Entries());
  for (uint64_t i = 0; i < table.count * sizeof(LightSource); ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

void KeepCount(void* context, double seconds) {
  *static_cast<PhotoResult*>(context) =
      PhotoResult{gLightSourceTable.count, TableDigest(gLightSourceTable), seconds, GetLightSourceAnalysisTimes(),
                  GetLightSourceAnalysisCounts()};
}

void ReportPhotos(const std::wstring& folder, const std::wstring& only, int runs) {
  printf("## Photographs\n\n");
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\s*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    printf("The shared test photographs were not found; nothing measured.\n\n");
    return;
  }
  printf("| photo | light sources | table digest | detection time (s) | of which: maximum and analysis images / coarse pass / "
         "fine pass (s) | refinements spared / measured after all |\n|---|---|---|---|---|---|\n");
  std::vector<std::wstring> names;
  do {
    std::wstring name = found.cFileName;
    bool chosen = only.empty() || name.find(only) != std::wstring::npos;
    if (chosen && name.size() > 4 && name.substr(name.size() - 3) != L".md") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  for (int run = 0; run < runs; ++run) {
    for (const std::wstring& name : names) {
      ImageFileDetection request;
      request.input = folder + L"\\" + name;
      PhotoResult result{0, 0, 0, AnalysisTimes{}, AnalysisCounts{}};
      std::string error;
      std::string narrow(name.begin(), name.end());
      if (DetectInImageFile(request, KeepCount, &result, &error)) {
        const AnalysisTimes& t = result.phases;
        printf("| %s | %llu | %08X | %.3f | %.3f / %.3f / %.3f | %llu / %llu |\n", narrow.c_str(),
               static_cast<unsigned long long>(result.count), result.digest, result.seconds,
               t.imageMaximum + t.analysisImages[0] + t.analysisImages[1], t.detection[0], t.detection[1],
               static_cast<unsigned long long>(result.counts.spared), static_cast<unsigned long long>(result.counts.measuredAfterAll));
      } else {
        printf("| %s | %s | | | | |\n", narrow.c_str(), error.c_str());
      }
    }
  }
  printf("\n");
}

void ReportScaling() {
  printf("## Time against image size\n\n");
  printf("300 lights (radius 1 to 20 pixels at 24 megapixels, scaled with the image) on grain, 8-bit RGB,\n"
         "%u workers. The image maximum and the reductions read every pixel and grow with the image; the\n"
         "analysis itself works on images of bounded size.\n\n", GetWorkerCount());
  printf("The image is read once for its maximum and both analysis images where its format allows (8 bits); the\n"
         "coarse and fine columns are then their colour conversions.\n\n");
  printf("| megapixels | detection (s) | image maximum and analysis images (s) | of which reading the image / coarse image / "
         "fine image (s) | detection in the analysis images (s) |\n"
         "|---|---|---|---|---|\n");
  const int32_t sizes[][2] = {{1224, 816}, {3000, 2000}, {6000, 4000}, {12248, 8165}};
  for (const auto& size : sizes) {
    Scene scene = RandomScene(size[0], size[1], 300, 1, 20 * size[0] / 6000.0 + 1, 4242);
    ImageRecord image;
    if (!RenderScene(scene, &image)) {
      printf("| %.0f | out of memory | | |\n", size[0] * double(size[1]) / 1e6);
      continue;
    }
    double total = DetectRecord(image);
    AnalysisTimes t = GetLightSourceAnalysisTimes();
    StopLightSourceAnalysis();
    double linear = t.imageMaximum + t.analysisImages[0] + t.analysisImages[1];
    printf("| %.0f | %.3f | %.3f | %.3f / %.3f / %.3f | %.3f |\n", size[0] * double(size[1]) / 1e6, total, linear, t.imageMaximum,
           t.analysisImages[0], t.analysisImages[1], total - linear);
    ReleaseImage(&image);
  }
  printf("\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring photos = argc > 1 ? argv[1] : L"..\\shared\\testimages";
  // `--photos [part of a name] [runs]` measures only the photographs (those whose names contain the
  // part), each as many times as asked, one row a run;
  // `--scaling` only the time against image size.
  bool photosOnly = argc > 2 && std::wstring(argv[2]) == L"--photos";
  bool scalingOnly = argc > 2 && std::wstring(argv[2]) == L"--scaling";
  std::wstring only = argc > 3 ? argv[3] : L"";
  const int runs = argc > 4 ? std::max(1, _wtoi(argv[4])) : 1;
  int16_t result = 0;
  gResult = &result;
  InitializeBufferManager();
  CreateGammaTableMutex();
  HostProfileSource host;
  host.imageMode = plugInModeRGBColor;
  InitializeColorConversion(host);
  printf("# Light source detection report\n\nGenerated by `./bench.sh detection`.\n\n");
  if (!photosOnly) {
    if (!scalingOnly) ReportSyntheticQuality();
    ReportScaling();
  }
  TerminateColorConversion();
  ReleaseGammaTables();
  TerminateBufferManager();
  gResult = nullptr;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (!scalingOnly) ReportPhotos(photos, only, runs);
  return 0;
}
