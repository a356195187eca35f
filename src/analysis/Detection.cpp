// Band threads come from the C run-time, not the worker pool: the pool serves the renderers,
// which may run while the analysis does.
//
// Sections: the band tasks (image maximum; detection band by band, the reference; detection in
// batches of steps measured by whichever band is free, neighbouring candidates of a row walking
// together), then the merge of the bands' lists, then sections, their views and the threads that
// run them.
#include "analysis/Detection.h"

#include <process.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "analysis/GroupListPoints.h"
#include "analysis/Measure.h"
#include "analysis/RadialWalkGroup.h"
#include "core/EightBitPixels.h"
#include "core/Reducers.h"
#include "core/RunResult.h"
#include "core/ThreadEntry.h"
#include "core/WorkerThreads.h"
#include "support/ErrorReport.h"

namespace {

constexpr uint32_t kLinearFull = 0xFFFFFF;

bool Stopped(const AnalysisRun& run) { return run.abort || RunResult() != 0; }

BrightnessPlane* PlaneOf(AnalysisSection* section) {
  return section->brightness.values.block != nullptr ? &section->brightness : nullptr;
}

unsigned __stdcall FindBandMaximum(void* argument) noexcept {
  auto* section = static_cast<AnalysisSection*>(argument);
  RunGuarded("FindBandMaximum", [&] {
    AnalysisRun* run = section->run;
    const ImageRecord& image = run->host;
    uint32_t maximum = 0;
    for (int64_t y = section->top; y < section->bottom && !Stopped(*run); ++y) {
      maximum = std::max(maximum, BrightestInRect(image, section->left, y, section->right, y + 1));
      CountAnalysedRow(run);
    }
    section->bandMaximum = maximum;
  });
  SetEvent(section->terminated);
  return 0;
}

// Between two rows: first every band has finished its row, then every band has taken the others'
// fills of that row into its view, and only then are the logs emptied. When no band filled, every
// band sees so alike, and bands that meet again before any can fill (measuredApart: all meet
// before they take their rows' results) need not wait for each other a second time.
void ExchangeFills(AnalysisSection* section, bool measuredApart) {
  ArriveAndWait(section->lockstep);
  bool filled = false;
  for (int k = 0; k < section->bandCount; ++k) filled = filled || section->bands[k].fills.count > 0;
  if (!filled && measuredApart) return;
  for (int k = 0; k < section->bandCount; ++k) {
    if (&section->bands[k] != section) FillLoggedPixels(section->view, section->bands[k].fills, PlaneOf(section));
  }
  if (filled) ++section->statistics.viewVersion;
  ArriveAndWait(section->lockstep);
  section->fills.count = 0;
}

bool IsCandidate(const ImageRecord& image, int64_t x, int64_t y, uint32_t threshold, bool inlineReadable) {
  PixelValue p;
  if (inlineReadable) ReadEightBitPixel(image, x, y, &p);
  else image.readPixel(&image, x, y, &p);
  return p.mask >= 0x7FFFFFFF && p.alpha != 0 && BrightnessOf(p) >= threshold;
}

uint32_t CandidateThreshold(const AnalysisRun& run) { return (run.imageMaximum * 50) / 100; }

// The reference: each band measures the candidates of its row itself, one after another.
unsigned __stdcall AnalyzeSection(void* argument) noexcept {
  auto* section = static_cast<AnalysisSection*>(argument);
  RunGuarded("AnalyzeSection", [&] {
    AnalysisRun* run = section->run;
    const ImageRecord& image = section->view;
    uint32_t threshold = CandidateThreshold(*run);
    const bool inlineReadable = IsInlineReadable(image);
    for (int64_t step = 0; step < section->steps && !Stopped(*run); ++step) {
      int64_t y = section->top + step;
      for (int64_t x = section->left; y < section->bottom && x < section->right && !Stopped(*run); ++x) {
        if (IsCandidate(image, x, y, threshold, inlineReadable)) MeasureCandidate(section, x, y);
      }
      if (y < section->bottom) CountAnalysedRow(run);
      ExchangeFills(section, false);
    }
    CompactLightSources(&section->list);
  });
  // Also after a failure: the other bands must not wait for this one.
  LeaveBandLockstep(section->lockstep);
  SetEvent(section->terminated);
  return 0;
}

// Steps measured together: every band's thread knows them alike, as each works them out from the
// same marks. Pixels [base, base + steps * stepPixels) of the pool's count are the batch's.
struct Batch {
  int64_t number;  // from 1
  int64_t firstStep, steps;
  int64_t base;
};

// Takes the next run of the batch's pixels; false when it has none left.
bool TakePixels(DetectionPool* pool, int64_t batchEnd, int64_t* first, int64_t* end) {
  constexpr int64_t kRun = 32;
  int64_t taken = __atomic_load_n(&pool->next, __ATOMIC_RELAXED);
  do {
    if (taken >= batchEnd) return false;
    *first = taken, *end = std::min(taken + kRun, batchEnd);
  } while (!__atomic_compare_exchange_n(&pool->next, &taken, *end, true, __ATOMIC_RELAXED, __ATOMIC_RELAXED));
  return true;
}

// Where pixel i of the pool's count lies: its band, its place and its entry among the band's
// results of the batch.
struct BatchPixel {
  AnalysisSection* band;
  int64_t x, y, row, at;
};

BatchPixel LocatePixel(AnalysisSection* section, const Batch& batch, int64_t i) {
  const DetectionPool* pool = section->pool;
  const int64_t width = section->right - section->left;
  int64_t offset = i - batch.base, row = offset / pool->stepPixels, inRow = offset % pool->stepPixels;
  AnalysisSection* band = &section->bands[inRow / width];
  int64_t x = band->left + inRow % width;
  return BatchPixel{band, x, band->top + batch.firstStep + row, row, row * width + (x - band->left)};
}

// The kind is written after the result, as other threads read the kinds of the batch's earlier
// pixels while it is measured (CoveredByEarlierLight).
void RecordResult(const BatchPixel& pixel, const Batch& batch, const CandidateResult& result) {
  AnalysisSection& band = *pixel.band;
  if (result.kind == CANDIDATE_LIGHT || result.kind == CANDIDATE_COVERED) {
    static_cast<CandidateResult*>(band.results.block)[pixel.at] = result;
  }
  __atomic_store_n(&static_cast<uint8_t*>(band.kinds.block)[pixel.at], uint8_t(result.kind), __ATOMIC_RELEASE);
  if (result.kind == CANDIDATE_FILL || result.kind == CANDIDATE_AGAIN) {
    __atomic_store_n(&band.fillMarks[pixel.row], batch.number, __ATOMIC_RELAXED);
  }
}

// Whether a light that the band will have taken before the pixel, if it takes it at all, covers
// the pixel's list point: one of the band's list, or one measured at an earlier pixel of the
// batch near it. Only a guess, which spares the refinement of the many neighbours of a light
// that find it again: the band asks its list again when it takes the pixel.
bool CoveredByEarlierLight(const BatchPixel& pixel, double listX, double listY) {
  constexpr int64_t kReach = 8;  // pixels from a light's candidate to a list point it covers
  const AnalysisSection& band = *pixel.band;
  const int64_t width = band.right - band.left;
  const auto* kinds = static_cast<const uint8_t*>(band.kinds.block);
  const auto* results = static_cast<const CandidateResult*>(band.results.block);
  const int64_t left = std::max(band.left, pixel.x - kReach) - band.left;
  for (int64_t row = std::max<int64_t>(0, pixel.row - kReach); row <= pixel.row; ++row) {
    const int64_t right = (row == pixel.row ? pixel.x : std::min(band.right, pixel.x + kReach + 1)) - band.left;
    for (int64_t at = row * width + left; at < row * width + right; ++at) {
      if (__atomic_load_n(&kinds[at], __ATOMIC_ACQUIRE) != CANDIDATE_LIGHT) continue;
      const LightSource& light = results[at].source;
      const double dx = light.x - listX, dy = light.y - listY;
      if (dx * dx + dy * dy <= light.radiusSquared) return true;
    }
  }
  return IsInsideLightSource(band.list, listX, listY);
}

// `count` pixels of one band's row from `start` on, eight neighbours walking together where the
// processor and the band's brightness plane allow; each gets the result it would get alone.
void MeasureRowPixels(AnalysisSection* section, const Batch& batch, const BatchPixel& start, int64_t count) {
  AnalysisRun* run = section->run;
  AnalysisSection& band = *start.band;
  const uint32_t threshold = CandidateThreshold(*run);
  const bool inlineReadable = IsInlineReadable(band.view);
  BrightnessPlane* plane = PlaneOf(&band);
  const bool grouped = plane != nullptr && inlineReadable && CanWalkInGroups();
  for (int64_t first = 0; first < count && !Stopped(*run); first += kWalkGroupLanes) {
    const int lanes = int(std::min<int64_t>(kWalkGroupLanes, count - first));
    unsigned candidates = 0;
    for (int lane = 0; lane < lanes; ++lane) {
      int64_t x = start.x + first + lane;
      if (!IsCandidate(band.view, x, start.y, threshold, inlineReadable)) continue;
      if (!IsInsideLightSource(gLightSourceTable, double(x), double(start.y))) candidates |= 1u << lane;
    }
    ProfileOutcome outcomes[kWalkGroupLanes];
    double distances[kWalkGroupLanes][8], listX[kWalkGroupLanes], listY[kWalkGroupLanes];
    unsigned balanced = 0;
    if (grouped && candidates != 0) {
      MeasureRadialProfileGroup(run, band.view, *plane, start.x + first, start.y, candidates, outcomes, distances);
      unsigned measured = 0;
      for (int lane = 0; lane < lanes; ++lane) measured |= (outcomes[lane] == PROFILE_MEASURED ? 1u : 0u) << lane;
      balanced = ListPointsOfGroup(distances, candidates & measured, start.x + first, start.y, listX, listY);
    }
    for (int lane = 0; lane < lanes; ++lane) {
      BatchPixel pixel = start;
      pixel.x += first + lane, pixel.at += first + lane;
      CandidateResult result;
      result.kind = CANDIDATE_NONE;
      const bool candidate = (candidates >> lane & 1) != 0;
      if (candidate && !grouped) {
        EvaluateCandidate(run, band.view, plane, &section->statistics, pixel.x, pixel.y, &result);
      } else if (candidate && outcomes[lane] == PROFILE_OPEN_PLATEAU) {
        result.kind = CANDIDATE_FILL;
      } else if (balanced >> lane & 1) {
        result.listX = listX[lane], result.listY = listY[lane];
        if (CoveredByEarlierLight(pixel, result.listX, result.listY)) {
          result.kind = CANDIDATE_COVERED;
          __atomic_add_fetch(&run->counts.spared, 1, __ATOMIC_RELAXED);
        } else {
          EvaluateFromListPoint(run, band.view, plane, &section->statistics, distances[lane], &result);
        }
      }
      RecordResult(pixel, batch, result);
    }
  }
}

// Measures candidates of every band's rows of the batch, as long as any are left; each band's
// view holds still meanwhile, and all views are alike, so that it matters not which thread
// measures.
void MeasureBatchCandidates(AnalysisSection* section, const Batch& batch) {
  AnalysisRun* run = section->run;
  DetectionPool* pool = section->pool;
  int64_t first, end;
  while (!Stopped(*run) && TakePixels(pool, batch.base + batch.steps * pool->stepPixels, &first, &end)) {
    for (int64_t i = first; i < end;) {
      BatchPixel pixel = LocatePixel(section, batch, i);
      int64_t count = std::min(end - i, pixel.band->right - pixel.x);
      if (pixel.y < pixel.band->bottom) MeasureRowPixels(section, batch, pixel, count);
      i += count;
    }
  }
}

// The batch's steps whose results hold: up to and with the first in which a band may fill, as
// the views change after it. Read after all have measured and before any measures again.
int64_t StepsThatHold(const AnalysisSection& section, const Batch& batch, bool* mayFill) {
  *mayFill = true;
  for (int64_t row = 0; row < batch.steps; ++row) {
    for (int k = 0; k < section.bandCount; ++k) {
      if (__atomic_load_n(&section.bands[k].fillMarks[row], __ATOMIC_RELAXED) == batch.number) return row + 1;
    }
  }
  *mayFill = false;
  return batch.steps;
}

// Takes the row's results in order, as the reference would have measured them: after the band's
// first fill of the row the view has changed, and the rest of the row is measured again.
void TakeRowResults(AnalysisSection* section, int64_t row, int64_t y) {
  AnalysisRun* run = section->run;
  const int64_t first = row * (section->right - section->left);
  const auto* kinds = static_cast<const uint8_t*>(section->kinds.block) + first;
  const auto* results = static_cast<const CandidateResult*>(section->results.block) + first;
  const uint32_t threshold = CandidateThreshold(*run);
  const bool inlineReadable = IsInlineReadable(section->view);
  bool viewChanged = false;
  for (int64_t x = section->left; x < section->right && !Stopped(*run); ++x) {
    const CandidateKind kind = CandidateKind(kinds[x - section->left]);
    if (viewChanged) {
      if (IsCandidate(section->view, x, y, threshold, inlineReadable)) MeasureCandidate(section, x, y);
    } else if (kind == CANDIDATE_LIGHT) {
      const CandidateResult& result = results[x - section->left];
      if (!IsInsideLightSource(section->list, result.listX, result.listY)) InsertLightSource(&section->list, result.source);
    } else if (kind == CANDIDATE_COVERED) {
      const CandidateResult& result = results[x - section->left];
      if (IsInsideLightSource(section->list, result.listX, result.listY)) continue;
      __atomic_add_fetch(&run->counts.measuredAfterAll, 1, __ATOMIC_RELAXED);
      MeasureCandidate(section, x, y);
      viewChanged = section->fills.count > 0;
    } else if (kind == CANDIDATE_FILL || kind == CANDIDATE_AGAIN) {
      MeasureCandidate(section, x, y);
      viewChanged = section->fills.count > 0;
    }
  }
}

// Detection: the band measures the batch's candidates with the others, then takes its own rows'
// results, then exchanges fills; the table is the reference's, whichever thread measured what.
unsigned __stdcall AnalyzeSectionInBatches(void* argument) noexcept {
  auto* section = static_cast<AnalysisSection*>(argument);
  RunGuarded("AnalyzeSectionInBatches", [&] {
    AnalysisRun* run = section->run;
    // Batches grow while no band fills, and start again from one step after a fill, whose
    // batch's later steps are measured again.
    Batch batch{1, 0, 1, 0};
    while (batch.firstStep < section->steps && !Stopped(*run)) {
      batch.steps = std::min(batch.steps, section->steps - batch.firstStep);
      MeasureBatchCandidates(section, batch);
      ArriveAndWait(section->lockstep);
      bool mayFill;
      int64_t holding = StepsThatHold(*section, batch, &mayFill);
      for (int64_t row = 0; row < holding && !Stopped(*run); ++row) {
        int64_t y = section->top + batch.firstStep + row;
        if (y >= section->bottom) break;
        TakeRowResults(section, row, y);
        CountAnalysedRow(run);
      }
      // Pixels of the next batch not yet measured must not show this batch's lights.
      memset(section->kinds.block, CANDIDATE_NONE, size_t(batch.steps * (section->right - section->left)));
      ExchangeFills(section, true);
      batch.base += batch.steps * section->pool->stepPixels;
      batch.firstStep += holding;
      batch.steps = mayFill ? 1 : std::min<int64_t>(2 * batch.steps, kMostBatchSteps);
      ++batch.number;
    }
    CompactLightSources(&section->list);
  });
  LeaveBandLockstep(section->lockstep);
  SetEvent(section->terminated);
  return 0;
}

void ReportWaitFailure(DWORD waited) {
  if (waited >= WAIT_ABANDONED_0 && waited < WAIT_ABANDONED_0 + MAXIMUM_WAIT_OBJECTS) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "An object was abandoned in SpawnAnalysisThreadsAndWait().");
  } else if (waited == WAIT_TIMEOUT) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "A wait timed out in SpawnAnalysisThreadsAndWait().");
  } else {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Waiting for events failed in SpawnAnalysisThreadsAndWait.");
  }
}

// Appends a block of entries to the table, which has room for them.
void AppendEntries(LightSourceTable* table, const LightSource* entries, uint64_t count) {
  if (count == 0) return;
  memcpy(table->Entries() + table->count, entries, count * sizeof(LightSource));
  table->count += count;
}

// A band entry near the seam is checked against the table's entries near the band's top edge,
// as an insertion would check it; false when a larger one there rejects it.
bool AcceptAtSeam(LightSourceTable* table, uint64_t seamStart, uint64_t seamEnd, const LightSource& entry, double reach) {
  uint64_t overlapped[1024];
  int overlappedCount = 0;
  LightSource* entries = table->Entries();
  double rr = entry.radiusSquared;
  for (uint64_t i = seamStart; i < seamEnd; ++i) {
    const LightSource& other = entries[i];
    if ((other.flags & kLightSourceSuperseded) || other.state != LIGHT_DETECTED) continue;
    double dx = other.x - entry.x, dy = other.y - entry.y;
    if (dx > reach || dx < -reach) continue;
    if (dx * dx + dy * dy >= std::max(rr, other.radiusSquared)) continue;
    if (other.radiusSquared >= rr) return false;
    if (overlappedCount < 1024) overlapped[overlappedCount++] = i;
  }
  for (int i = 0; i < overlappedCount; ++i) entries[overlapped[i]].flags |= kLightSourceSuperseded;
  return true;
}

void MergeBand(LightSourceTable* table, const LightSourceTable& band) {
  const LightSource* entries = band.Entries();
  if (table->count == 0) {
    AppendEntries(table, entries, band.count);
    table->maxRadius = band.maxRadius, table->minY = band.minY, table->maxY = band.maxY;
    return;
  }
  double h = std::max(table->maxRadius, band.maxRadius);
  uint64_t seamEnd = table->count, seamStart = table->count;
  while (seamStart > 0 && table->Entries()[seamStart - 1].y >= band.minY - (h + 1)) --seamStart;
  double seamBottom = table->maxY + h + 1;
  uint64_t j = 0;
  for (; j < band.count && entries[j].y <= seamBottom; ++j) {
    if (AcceptAtSeam(table, seamStart, seamEnd, entries[j], h + 1)) AppendEntries(table, &entries[j], 1);
  }
  AppendEntries(table, entries + j, band.count - j);
  table->maxRadius = std::max(table->maxRadius, band.maxRadius);
  table->minY = std::min(table->minY, band.minY);
  table->maxY = std::max(table->maxY, band.maxY);
}

bool GiveSectionsTheirViews(const ImageRecord& image, AnalysisSection* sections, int count) {
  for (int k = 0; k < count; ++k) {
    uint64_t width = uint64_t(sections[k].right - sections[k].left);
    uint64_t pixels = std::max<uint64_t>(width, 1) * kMostBatchSteps;
    if (ReallocateBuffer(pixels * sizeof(CandidateResult), &sections[k].results) != 0) return false;
    if (ReallocateBuffer(pixels, &sections[k].kinds) != 0) return false;
    memset(sections[k].kinds.block, CANDIDATE_NONE, size_t(pixels));
    ImageRecord& view = sections[k].view;
    view = image;
    view.pixels = BufferDescriptor{}, view.mask = BufferDescriptor{};
    if (ReallocateBuffer(image.pixels.size, &view.pixels) != 0) return false;
    memcpy(view.pixels.block, image.pixels.block, size_t(image.pixels.size));
    if (image.HasMask()) {
      if (ReallocateBuffer(image.mask.size, &view.mask) != 0) return false;
      memcpy(view.mask.block, image.mask.block, size_t(image.mask.size));
    }
  }
  // Without the memory for a plane a band reads the pixels themselves, for the same results.
  if (!UsingReferenceMeasurement() && MakeBrightnessPlane(sections[0].view, &sections[0].brightness)) {
    for (int k = 1; k < count; ++k) {
      if (!CopyBrightnessPlane(sections[0].brightness, &sections[k].brightness)) ReleaseBrightnessPlane(&sections[k].brightness);
    }
  }
  return true;
}

}  // namespace

void CountAnalysedRow(AnalysisRun* run) { __atomic_add_fetch(&run->rowsDone, 1, __ATOMIC_RELAXED); }

AnalysisSection* CreateAnalysisSections(AnalysisRun* run, int64_t left, int64_t top, int64_t right, int64_t bottom, int* count,
                                        int bands) {
  *count = 0;
  int64_t rows = bottom - top;
  if (rows <= 0) return nullptr;
  int64_t n = std::min<int64_t>(bands > 0 ? uint32_t(bands) : GetWorkerCount(), MAXIMUM_WAIT_OBJECTS);
  int64_t height = rows / n;
  if (height == 0) n = rows, height = 1;
  auto* sections = static_cast<AnalysisSection*>(calloc(size_t(n), sizeof(AnalysisSection)));
  if (sections == nullptr) return nullptr;
  for (int64_t k = 0; k < n; ++k) {
    AnalysisSection& section = sections[k];
    section.run = run;
    section.left = left, section.right = right;
    section.top = top + k * height;
    section.bottom = k == n - 1 ? bottom : top + (k + 1) * height;
    section.index = int(k);
    section.terminated = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (section.terminated == nullptr) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Could not create AnalyzeSectionTask() termination event.");
      DestroyAnalysisSections(sections, int(k));
      *count = -1;
      return nullptr;
    }
  }
  *count = int(n);
  return sections;
}

void DestroyAnalysisSections(AnalysisSection* sections, int count) {
  if (sections == nullptr) return;
  for (int k = 0; k < count; ++k) {
    if (sections[k].terminated != nullptr) CloseHandle(sections[k].terminated);
    ReleaseLightSourceTable(&sections[k].list);
    ReleaseImage(&sections[k].view);
    ReleaseFillLog(&sections[k].fills);
    DeallocateBuffer(&sections[k].results);
    DeallocateBuffer(&sections[k].kinds);
    DeallocateBuffer(&sections[k].statistics.slots);
    ReleaseBrightnessPlane(&sections[k].brightness);
  }
  free(sections);
}

int16_t SpawnAnalysisThreadsAndWait(AnalysisTask task, AnalysisSection* sections, int count) {
  HANDLE events[MAXIMUM_WAIT_OBJECTS] = {}, threads[MAXIMUM_WAIT_OBJECTS] = {};
  int started = 0;
  for (int k = 0; k < count; ++k) {
    events[k] = sections[k].terminated;
    errno = 0;
    uintptr_t thread = _beginthreadex(nullptr, 0, task, &sections[k], 0, nullptr);
    if (thread == 0) {
      ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(errno))
          .Report(kStyleError, kTitleUnexpectedError, "Could not initiate AnalyzeSection() task : %s", strerror(errno));
      if (sections[k].lockstep != nullptr) LeaveBandLockstep(sections[k].lockstep);
      SetEvent(sections[k].terminated);  // the band is simply not analysed
      continue;
    }
    threads[started++] = reinterpret_cast<HANDLE>(thread);
  }
  int16_t result = 0;
  DWORD waited = WaitForMultipleObjects(DWORD(count), events, TRUE, INFINITE);
  if (waited >= DWORD(count)) {
    ReportWaitFailure(waited);
    result = kTaskError;
  }
  // The events say the work is done; the threads' own ends are awaited before their data goes.
  if (started > 0) WaitForMultipleObjects(DWORD(started), threads, TRUE, INFINITE);
  for (int k = 0; k < started; ++k) CloseHandle(threads[k]);
  for (int k = 0; k < count; ++k) {
    if (!ResetEvent(events[k])) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Could not reset Task Exit event %d in SpawnAnalysisThreadsAndWait.", k);
      result = kTaskError;
    }
  }
  return result;
}

uint32_t FindImageMaximum(AnalysisRun* run) {
  const ImageRect& r = run->host.rectangle;
  int count = 0;
  AnalysisSection* sections = CreateAnalysisSections(run, r.left, r.top, r.right, r.bottom, &count);
  if (sections == nullptr) return kLinearFull;
  uint32_t maximum = kLinearFull;
  if (SpawnAnalysisThreadsAndWait(FindBandMaximum, sections, count) == 0) {
    maximum = 0;
    for (int k = 0; k < count; ++k) maximum = std::max(maximum, sections[k].bandMaximum);
  }
  DestroyAnalysisSections(sections, count);
  return maximum;
}

int16_t DetectLightSources(AnalysisRun* run) {
  const AnalysisRect& r = run->rect;
  int count = 0;
  AnalysisSection* sections =
      CreateAnalysisSections(run, int64_t(r.left), int64_t(r.top), int64_t(r.right), int64_t(r.bottom), &count, kDetectionBands);
  if (count < 0) return kTaskError;
  if (sections != nullptr && !GiveSectionsTheirViews(run->image, sections, count)) {
    DestroyAnalysisSections(sections, count);
    sections = nullptr;
  }
  if (sections == nullptr) {
    if (r.bottom <= r.top) return 0;
    ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "Out of RAM.  Image analysis could not be completed.");
    return kOutOfMemory;
  }
  BandLockstep lockstep;
  InitializeBandLockstep(&lockstep, count);
  int64_t steps = 0;
  for (int k = 0; k < count; ++k) steps = std::max(steps, sections[k].bottom - sections[k].top);
  for (int k = 0; k < count; ++k) {
    sections[k].lockstep = &lockstep;
    sections[k].steps = steps;
    sections[k].bands = sections;
    sections[k].bandCount = count;
  }
  DetectionPool pool{0, (sections[0].right - sections[0].left) * count};
  for (int k = 0; k < count; ++k) sections[k].pool = &pool;
  AnalysisTask task = UsingReferenceMeasurement() ? AnalyzeSection : AnalyzeSectionInBatches;
  int16_t result = SpawnAnalysisThreadsAndWait(task, sections, count);
  if (result == 0 && !Stopped(*run)) MergeSectionLists(sections, count);
  DestroyAnalysisSections(sections, count);
  return result;
}

void MergeSectionLists(AnalysisSection* sections, int count) {
  LightSourceTable old = gLightSourceTable;
  uint64_t total = old.count;
  for (int k = 0; k < count; ++k) total += sections[k].list.count;
  LightSourceTable merged{};
  if (total > 0 && ReallocateBuffer(total * sizeof(LightSource), &merged.entries) != 0) {
    ErrorReport(__LINE__, UserMessage)
        .Report(kStyleError, "RAM Allocation Failure", "Could not allocate memory for the table of Highlights.  Some effects will be missing.");
    return;
  }
  for (int k = 0; k < count; ++k) {
    if (sections[k].list.count > 0) MergeBand(&merged, sections[k].list);
  }
  AppendEntries(&merged, old.Entries(), old.count);
  if (old.count > 0) {
    merged.maxRadius = std::max(merged.maxRadius, old.maxRadius);
    merged.minY = merged.count > old.count ? std::min(merged.minY, old.minY) : old.minY;
    merged.maxY = std::max(merged.maxY, old.maxY);
  }
  merged.changeCount = LightSourceChangeCount(old);
  DeallocateBuffer(&old.entries);
  gLightSourceTable = merged;
  CompactLightSources(&gLightSourceTable);
}
