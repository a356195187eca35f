// The analysis thread: image maximum, then a coarse pass that finds the large highlights and a
// fine pass that finds the rest, then the finishing step in host-image units.
#include "analysis/LightSourceAnalysis.h"

#include <process.h>

#include <cmath>
#include <cstring>

#include "analysis/Detection.h"
#include "analysis/LightSourceTable.h"
#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "core/OnePassReductions.h"
#include "core/Reducers.h"
#include "core/RunResult.h"
#include "core/StageTimer.h"
#include "core/ThreadEntry.h"
#include "shapes/AnalysisShapes.h"
#include "support/ErrorReport.h"
#include "support/FaultInjection.h"

AnalysisRun gAnalysis;

namespace {

volatile bool gAnalysisFailed = false;


bool CreateAnalysisShapes(AnalysisRun* run) {
  run->discs = static_cast<Shape*>(calloc(kAnalysisShapes, sizeof(Shape)));
  run->rings = static_cast<Shape*>(calloc(kAnalysisShapes, sizeof(Shape)));
  run->radii = static_cast<double*>(calloc(kAnalysisShapes, sizeof(double)));
  if (run->discs == nullptr || run->rings == nullptr || run->radii == nullptr) return false;
  for (int i = 0; i < kAnalysisShapes; ++i) {
    run->radii[i] = i * 0.25;
    if (!InitializeShape(&run->discs[i], GenerateDiscSubShape, &run->radii[i], false)) return false;
    if (!InitializeShape(&run->rings[i], GenerateRingSubShape, &run->radii[i], false)) return false;
  }
  return true;
}

void DestroyAnalysisShapes(AnalysisRun* run) {
  for (int i = 0; i < kAnalysisShapes; ++i) {
    if (run->discs != nullptr) DestroyShape(&run->discs[i]);
    if (run->rings != nullptr) DestroyShape(&run->rings[i]);
  }
  free(run->discs);
  free(run->rings);
  free(run->radii);
  run->discs = run->rings = nullptr;
  run->radii = nullptr;
}

// Edges of the host rectangle times the scale, each rounded up.
int32_t ScaledEdge(int32_t edge, double scale) { return int32_t(edge * scale + 0.99999999999); }

ImageRect AnalysisRectOf(const ImageRect& host, double scaleX, double scaleY) {
  ImageRect rect{ScaledEdge(host.left, scaleX), ScaledEdge(host.top, scaleY), ScaledEdge(host.right, scaleX),
                 ScaledEdge(host.bottom, scaleY)};
  if (rect.right <= rect.left) rect.right = rect.left + 1;
  if (rect.bottom <= rect.top) rect.bottom = rect.top + 1;
  return rect;
}

// The image maximum and both analysis images (before their conversion) from one reading of the
// host image, where its format allows; false, with nothing kept, otherwise.
bool ReduceAhead(AnalysisRun* run) {
  const ImageRect& host = run->host.rectangle;
  ImageRect coarse = AnalysisRectOf(host, run->coarseScaleX, run->coarseScaleY);
  ImageRect fine = AnalysisRectOf(host, run->fineScaleX, run->fineScaleY);
  bool made = CreateImage(&run->image, coarse, coarse, plugInModeRGBColor, run->host.profile, true, false) &&
              CreateImage(&run->fineImage, fine, fine, plugInModeRGBColor, run->host.profile, true, false) &&
              CanReduceInOnePass(run->host, run->image, run->fineImage) &&
              ReduceInOnePass(run->host, &run->image, &run->fineImage, &run->imageMaximum, &run->rowsDone, &run->abort);
  if (!made) {
    ReleaseImage(&run->image);
    ReleaseImage(&run->fineImage);
  }
  run->reducedAhead = made;
  return made;
}

// Makes the analysis image of a pass in the working profile; false with the code in *result.
bool MakeAnalysisImage(AnalysisRun* run, AnalysisPass pass, double* scaleX, double* scaleY, int16_t* result) {
  const ImageRect& host = run->host.rectangle;
  ImageRect rect = AnalysisRectOf(host, *scaleX, *scaleY);
  *result = kOutOfMemory;
  if (run->reducedAhead) {
    if (pass == PASS_FINE) {
      ReleaseImage(&run->image);
      run->image = run->fineImage;
      run->fineImage = ImageRecord{};
    }
  } else {
    ReleaseImage(&run->image);
    if (!CreateImage(&run->image, rect, rect, plugInModeRGBColor, run->host.profile, true, false)) return false;
    if (!ReduceImage(run->host, &run->image, &run->abort)) return false;
  }
  if (!ConvertColorOf(&run->image, WorkingProfile(), true)) {
    if (RunResult() != 0) *result = RunResult();
    return false;
  }
  *scaleX = double(rect.Width()) / double(host.Width());
  *scaleY = double(rect.Height()) / double(host.Height());
  run->rect = AnalysisRect{double(rect.left), double(rect.top), double(rect.right), double(rect.bottom)};
  *result = 0;
  return true;
}

int16_t RunPass(AnalysisRun* run, AnalysisPass pass) {
  run->pass = pass;
  double* scaleX = pass == PASS_COARSE ? &run->coarseScaleX : &run->fineScaleX;
  double* scaleY = pass == PASS_COARSE ? &run->coarseScaleY : &run->fineScaleY;
  int16_t result = 0;
  LARGE_INTEGER start = StageStart();
  bool made = MakeAnalysisImage(run, pass, scaleX, scaleY, &result);
  run->times.analysisImages[pass] = SecondsSince(start);
  if (!made) return run->abort ? int16_t(0) : result;
  run->scaleX = *scaleX, run->scaleY = *scaleY;
  if (pass == PASS_FINE) RescaleLightSources(&gLightSourceTable, run->fineScaleX / run->coarseScaleX, run->fineScaleY / run->coarseScaleY);
  start = StageStart();
  result = DetectLightSources(run);
  run->times.detection[pass] = SecondsSince(start);
  return result;
}

void RaiseAnalysisFailure(int16_t code) {
  SetRunResult(code);
  ErrorReport(__LINE__, TraceMessage).Report("Result was not noErr in InitializeDataTask(), *gResult set to %d.", code);
  gAnalysisFailed = true;
}

void AnalyseAndFinish(AnalysisRun* run) {
  int64_t rows = run->host.rectangle.Height();
  run->rowsTotal = uint64_t(std::ceil(rows * (run->coarseScaleY + 1 + run->fineScaleY)));
  __atomic_store_n(&run->rowsDone, 0, __ATOMIC_RELAXED);
  LARGE_INTEGER start = StageStart();
  if (!ReduceAhead(run)) run->imageMaximum = FindImageMaximum(run);
  run->times.imageMaximum = SecondsSince(start);
  int16_t result = 0;
  if (!CreateAnalysisShapes(run)) result = kTaskError;
  if (result == 0 && !run->abort) result = RunPass(run, PASS_COARSE);
  if (result == 0 && !run->abort) result = RunPass(run, PASS_FINE);
  DestroyAnalysisShapes(run);
  ReleaseImage(&run->image);
  ReleaseImage(&run->fineImage);
  if (result == 0 && RunResult() != 0 && !run->abort) result = RunResult();
  if (result != 0) {
    RaiseAnalysisFailure(result);
  } else if (!run->abort) {
    start = StageStart();
    RescaleLightSources(&gLightSourceTable, 1.0 / run->fineScaleX, 1.0 / run->fineScaleY);
    FinishLightSourceTable(&gLightSourceTable, &run->abort);
    run->times.finishing = SecondsSince(start);
    const AnalysisTimes& t = run->times;
    ErrorReport(__LINE__, TraceMessage)
        .Report("Light source analysis: %llu light sources; image maximum %.3f s, coarse image %.3f s, coarse detection %.3f s, "
                "fine image %.3f s, fine detection %.3f s, finishing %.3f s.",
                static_cast<unsigned long long>(gLightSourceTable.count), t.imageMaximum, t.analysisImages[0], t.detection[0],
                t.analysisImages[1], t.detection[1], t.finishing);
  }
}

// Whatever happens in the analysis, the completion event is signalled: every reader waits for it.
unsigned __stdcall InitializeDataTask(void*) noexcept {
  AnalysisRun* run = &gAnalysis;
  RunGuarded("InitializeDataTask", [&] { AnalyseAndFinish(run); });
  __atomic_store_n(&run->rowsDone, run->rowsTotal, __ATOMIC_RELAXED);
  SetEvent(run->completeEvent);
  return 0;
}

}  // namespace

double AnalysisScaleOf(int64_t width, int64_t height) {
  double diagonal = std::sqrt(double(width) * width + double(height) * height);
  return diagonal > 2000.0 ? 2000.0 / diagonal : 1.0;
}

bool StartLightSourceAnalysis(const ImageRecord& image) {
  AnalysisRun* run = &gAnalysis;
  memset(static_cast<void*>(run), 0, sizeof *run);
  gAnalysisFailed = false;
  run->host = image;  // shares the pixels, which stay unchanged until the analysis has ended
  run->floodFillMutex = FaultInjected(FAULT_FLOOD_FILL_MUTEX) ? nullptr : CreateMutexW(nullptr, FALSE, nullptr);
  double scale = AnalysisScaleOf(image.rectangle.Width(), image.rectangle.Height());
  run->fineScaleX = run->fineScaleY = scale;
  run->coarseScaleX = run->coarseScaleY = scale / 4;
  run->completeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (run->completeEvent == nullptr || run->floodFillMutex == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not create the data initialization complete event.");
    SetRunResult(kTaskError);
    StopLightSourceAnalysis();
    return false;
  }
  uintptr_t thread = FaultInjected(FAULT_ANALYSIS_THREAD_START) ? 0 : _beginthreadex(nullptr, 0, InitializeDataTask, nullptr, 0, nullptr);
  if (thread == 0) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not initiate light source table initialization");
    SetRunResult(kTaskError);
    StopLightSourceAnalysis();
    return false;
  }
  run->thread = reinterpret_cast<HANDLE>(thread);
  return true;
}

// Only a started thread signals the completion event: without one there is nothing to wait for,
// and waiting would hang the host.
void StopLightSourceAnalysis() {
  AnalysisRun* run = &gAnalysis;
  run->abort = true;
  if (run->thread != nullptr) {
    WaitForSingleObject(run->completeEvent, INFINITE);
    WaitForSingleObject(run->thread, INFINITE);
    CloseHandle(run->thread);
    run->thread = nullptr;
  }
  if (run->completeEvent != nullptr) CloseHandle(run->completeEvent);
  run->completeEvent = nullptr;
  if (run->floodFillMutex != nullptr) CloseHandle(run->floodFillMutex);
  run->floodFillMutex = nullptr;
  ReleaseLightSourceTable(&gLightSourceTable);
  run->abort = false;
}

bool WaitForLightSourceAnalysis(uint32_t milliseconds) {
  HANDLE event = gAnalysis.completeEvent;
  return event == nullptr || WaitForSingleObject(event, milliseconds) == WAIT_OBJECT_0;
}

bool LightSourceAnalysisRunning() { return !WaitForLightSourceAnalysis(0); }

void GetLightSourceAnalysisProgress(uint64_t* done, uint64_t* total) {
  *done = __atomic_load_n(&gAnalysis.rowsDone, __ATOMIC_RELAXED);
  *total = gAnalysis.rowsTotal;
}

bool LightSourceAnalysisFailed() { return gAnalysisFailed; }

AnalysisTimes GetLightSourceAnalysisTimes() { return gAnalysis.times; }
AnalysisCounts GetLightSourceAnalysisCounts() { return gAnalysis.counts; }
