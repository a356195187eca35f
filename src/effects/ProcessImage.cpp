// The final render. Shapes of the phases in use are generated first, in parallel; then each
// worker paints its band of rows into a private tile and screens the tile onto the host image.
// The host image is written back only when every step succeeded.
//
// Sections: the phases in use and their reach; the generating and painting tasks and how they
// are run; the rounds of phases that fit the memory; the entry points.
#include "effects/ProcessImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "analysis/LightSourceTable.h"
#include "analysis/TableOperations.h"
#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "core/Progress.h"
#include "core/RunResult.h"
#include "core/StageTimer.h"
#include "core/ThreadEntry.h"
#include "core/WorkerThreads.h"
#include "effects/AnalysisWait.h"
#include "effects/EffectShapes.h"
#include "effects/EffectTile.h"
#include "effects/RenderBufferPool.h"
#include "effects/StarGenerator.h"
#include "effects/StarTables.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"

namespace {


constexpr int kMaximumBands = 64;
constexpr int64_t kWindowRows = 16;  // a megabyte of floats at 6000 pixels a row

RenderTimes gRenderTimes;
bool gUseShapeReach = true;
bool gUseCompactShapes = true;
// The stars' entries held at once. Long stars take a hundred megabytes a phase on two megapixels
// and more than a gigabyte on twenty-four: sixteen of them at once would take what the machine
// has, while painting a round's light sources costs little more for being done in eight rounds.
constexpr uint64_t kDefaultRoundShapeBudget = uint64_t(768) << 20;
uint64_t gRoundShapeBudget = kDefaultRoundShapeBudget;


struct PhaseTask {
  int phaseX, phaseY;
  bool softFlareOnly;  // the soft flare, beside the first phase, rather than a phase of the star
};

struct PaintTask {
  ImageRecord* host;
  const ParameterSet* parameters;
  EffectTile* tile;
  const PhaseRound* round;
  const LinearConversion* conversion;
};

void Trace(const char* format, int16_t code) { ErrorReport(__LINE__, TraceMessage).Report(format, code); }

void Fail(int16_t code, const char* format) {
  if (RunResult() == 0) SetRunResult(code);
  Trace(format, RunResult());
}


// The quarter-pixel phases of the visible light sources, and the reach of each phase's shapes:
// the offsets at which any of its light sources meets the image. A phase whose light sources lie
// in one part of the image needs little of the star beyond the far edges.
int UsedPhases(const ParameterSet& parameters, const ImageRect& image, bool used[4][4]) {
  memset(used, 0, sizeof(bool) * 16);
  EffectRenderMode& mode = gEffectRenderMode;
  uint32_t threshold = QuantityThreshold(gLightSourceTable, parameters.quantity);
  int count = 0;
  for (uint64_t i = 0; i < gLightSourceTable.count; ++i) {
    const LightSource& entry = gLightSourceTable.Entries()[i];
    if (!IsLightSourceVisible(entry, threshold)) continue;
    ShapePosition x = ShapePositionOf(entry.x), y = ShapePositionOf(entry.y);
    ShapeReach& reach = mode.starReach[x.phase][y.phase];
    ShapeReach light{image.left - x.pixel, image.top - y.pixel, image.right - x.pixel, image.bottom - y.pixel};
    if (!used[x.phase][y.phase]) {
      used[x.phase][y.phase] = true, ++count;
      reach = light;
    } else {
      reach = ShapeReach{std::min(reach.left, light.left), std::min(reach.top, light.top), std::max(reach.right, light.right),
                         std::max(reach.bottom, light.bottom)};
    }
  }
  ShapeReach flare{0, 0, 0, 0};
  bool first = true;
  for (int px = 0; px < 4; ++px) {
    for (int py = 0; py < 4; ++py) {
      if (!used[px][py]) continue;
      const ShapeReach& reach = mode.starReach[px][py];
      flare = first ? reach
                    : ShapeReach{std::min(flare.left, reach.left), std::min(flare.top, reach.top), std::max(flare.right, reach.right),
                                 std::max(flare.bottom, reach.bottom)};
      first = false;
    }
  }
  mode.softFlareReach = flare;
  mode.reachKnown = gUseShapeReach;
  return count;
}

// Shapes kept from an earlier render hold only what that render's light sources reached, in the
// form it drew them.
void ForgetShapesOfOtherReach() {
  static EffectRenderMode made{};
  static bool madeCompact = false;
  const EffectRenderMode& mode = gEffectRenderMode;
  bool other = made.reachKnown != mode.reachKnown || madeCompact != gUseCompactShapes;
  if (other || memcmp(made.starReach, mode.starReach, sizeof made.starReach) != 0) ResetShape(&gEffectShapes.star);
  if (other || memcmp(&made.softFlareReach, &mode.softFlareReach, sizeof made.softFlareReach) != 0) ResetShape(&gEffectShapes.softFlare);
  made = mode;
  madeCompact = gUseCompactShapes;
  gEffectShapes.star.generator = gUseCompactShapes ? GenerateCompactStarSubShape : GenerateStarSubShape;
  gEffectShapes.softFlare.generator = gUseCompactShapes ? GenerateCompactSoftFlareSubShape : GenerateSoftFlareSubShape;
}

// As many phases are generated at once as there are workers: more would only share the same
// processors, each with fresh memory of its own, where a phase that waits for its turn can draw
// into the scratch that a finished one has left.
HANDLE gGenerationTurns = nullptr;

bool TakeGenerationTurn() {
  if (gGenerationTurns == nullptr) return true;
  while (WaitForSingleObject(gGenerationTurns, 20) == WAIT_TIMEOUT) {
    if (gRenderAborted || RunResult() != 0) return false;
  }
  return true;
}

unsigned __stdcall CreateSubShapeTask(void* argument) noexcept {
  const auto* task = static_cast<const PhaseTask*>(argument);
  RunGuarded("CreateSubShapeTask", [&] {
    if (!TakeGenerationTurn()) return;
    ScopedSemaphoreTurn turn(gGenerationTurns, true);
    bool generated;
    if (task->softFlareOnly) {
      SubShape* softFlare = AcquireSubShape(&gEffectShapes.softFlare, 0, 0);
      generated = softFlare != nullptr && ConvertToPaintForm(softFlare);
    } else {
      generated = GenerateFinalEffectShapes(task->phaseX, task->phaseY);
    }
    if (!generated && RunResult() != kUserCanceled) {
      Fail(kOutOfMemory, "GenerateFinalEffectShapes failure (presumably memory shortage) in CreateSubShapeTask(), *gResult set to %d.");
    }
  });
  return 0;
}

// Effects Only blackens the rows first; then the tile's rows are screened onto the host image.
void ScreenFinishedRows(const EffectTile& tile, void* context) {
  const auto* task = static_cast<const PaintTask*>(context);
  ImageRecord* host = task->host;
  if (gRenderAborted || RunResult() != 0) return;
  if (task->parameters->effectsOnly == 1) {
    FillImageRect(host, PixelValue{0, 0, 0, kFullFraction, kFullFraction}, WindowWithin(tile, host->rectangle));
  }
  ScreenTileOntoImage(tile, *task->conversion, host, &gRenderAborted);
}

// When one round paints everything, the tile holds a window of rows that is screened onto the
// host image as soon as its rows are painted; otherwise it holds the whole band through all
// rounds and the last round screens it.
unsigned __stdcall GenerateEffectsIntoHostImageTask(void* argument) noexcept {
  const auto* task = static_cast<const PaintTask*>(argument);
  RunGuarded("GenerateEffectsIntoHostImageTask", [&] {
    EffectTile* tile = task->tile;
    bool oneRound = task->round->index == 0 && task->round->last;
    if (tile->pixels.block == nullptr && !CreateEffectTileBuffer(tile, tile->band, oneRound ? kWindowRows : tile->band.Height())) {
      Fail(kOutOfMemory, "CreateImage failed in GenerateEffectsIntoHostImageTask(), *gResult set to %d.");
      return;
    }
    FinishedRowsSink sink{ScreenFinishedRows, argument};
    if (!CreateEffectTile(tile, *task->parameters, *task->round, &sink)) {
      if (RunResult() == 0) Fail(kEffectTileFailed, "CreateEffectTile failed in GenerateEffectsIntoHostImageTask(), *gResult set to %d.");
    } else if (!tile->Windowed() && task->round->last) {
      ScreenFinishedRows(*tile, argument);
    }
  });
  return 0;
}

// Runs prepared tasks on their threads. After a failure or a cancel the painters are stopped and
// waited for once more, without progress, before their threads go.
void RunTasks(ThreadBlock* blocks, int count, const char* spawnFailure, const char* waitFailure) {
  bool spawned = SpawnMultipleThreads(blocks, count);
  bool waited = spawned && WaitForMultipleThreads(blocks, count, true);
  if (!spawned) {
    ErrorReport(__LINE__, TraceMessage).Report("%s", spawnFailure);
    if (RunResult() == 0) SetRunResult(kTaskError);
  } else if (!waited && RunResult() == 0) {
    ErrorReport(__LINE__, TraceMessage).Report("%s", waitFailure);
    SetRunResult(kTaskError);
  }
  if (!spawned || !waited || RunResult() != 0) {
    gRenderAborted = true;
    WaitForMultipleThreads(blocks, count, false);
  }
  for (int i = 0; i < count; ++i) DestroyThread(&blocks[i]);
}

// Prepares one task argument per block with the filler; false (with the result set) when memory ran out.
template <typename Argument, typename Fill>
bool PrepareTasks(BufferDescriptor* buffer, int count, ThreadStartRoutine routine, const char* stage, Fill fill) {
  char text[160];
  int16_t code = ReallocateBuffer(uint64_t(count) * sizeof(ThreadBlock), buffer);
  if (code != 0) {
    snprintf(text, sizeof text, "ReallocateBuffer failed for %s in ProcessImage(), *gResult set to %%d.", stage);
    SetRunResult(code);
    Trace(text, code);
    return false;
  }
  auto* blocks = static_cast<ThreadBlock*>(buffer->block);
  memset(blocks, 0, size_t(count) * sizeof(ThreadBlock));
  for (int i = 0; i < count; ++i) {
    auto* argument = static_cast<Argument*>(malloc(sizeof(Argument)));
    if (argument == nullptr) {
      snprintf(text, sizeof text, "Couldn't allocate RAM for TaskArguments for %s in ProcessImage(), *gResult set to %%d.", stage);
      SetRunResult(kOutOfMemory);
      Trace(text, kOutOfMemory);
      for (int j = 0; j < i; ++j) DestroyThread(&blocks[j]);
      return false;
    }
    fill(i, argument);
    blocks[i].startRoutine = routine;
    blocks[i].argument = argument;
    blocks[i].index = i;
  }
  return true;
}

void ReportOutOfMemory() {
  if (RunResult() == kOutOfMemory) {
    ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "Out of RAM.  Operation could not be completed.");
  }
}

void GeneratePhases(const PhaseTask* phases, int count) {
  LONG workers = LONG(std::max<uint32_t>(1, GetWorkerCount()));
  gGenerationTurns = CreateSemaphoreW(nullptr, workers, workers, nullptr);
  if (gGenerationTurns == nullptr) {  // without one, every star is generated at once: slower, not wrong
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "GeneratePhases() - Could not create the generation turns semaphore.");
  }
  BufferDescriptor buffer;
  if (PrepareTasks<PhaseTask>(&buffer, count, CreateSubShapeTask, "SubShape generation",
                              [&](int i, PhaseTask* task) { *task = phases[i]; })) {
    RunTasks(static_cast<ThreadBlock*>(buffer.block), count, "SpawnMultipleThreads failure for subshape generation in ProcessImage().",
             "WaitForMultipleThreads failure for subshape generation in ProcessImage().");
  }
  DeallocateBuffer(&buffer);
  if (gGenerationTurns != nullptr) CloseHandle(gGenerationTurns);
  gGenerationTurns = nullptr;
}

void PaintRound(ImageRecord* host, const ParameterSet& parameters, EffectTile* tiles, int bands, const PhaseRound& round,
                const LinearConversion& conversion) {
  BufferDescriptor buffer;
  if (PrepareTasks<PaintTask>(&buffer, bands, GenerateEffectsIntoHostImageTask, "effect painting", [&](int i, PaintTask* task) {
        *task = PaintTask{host, &parameters, &tiles[i], &round, &conversion};
      })) {
    RunTasks(static_cast<ThreadBlock*>(buffer.block), bands, "SpawnMultipleThreads failure for effect painting in ProcessImage().",
             "WaitForMultipleThreads failure for effect painting in ProcessImage().");
  }
  DeallocateBuffer(&buffer);
}

// How many more phases a round takes, given the size of one and the phases it holds already. No
// more than the working memory takes (a quarter kept in reserve for the growth of the buffers while
// they are filled, and the tiles for their allocation). All of them when they stay within the
// budget, so that one round paints every light source through a window of rows; otherwise one per
// worker, the fewest that keep every worker generating, each round's phases freed for the next.
// Phases differ in size with the reach of their light sources (by nearly three times in a heavy
// render of two megapixels), so those not generated yet count twice the size of the one known.
int PhasesThatFit(uint64_t phaseBytes, uint64_t tileBytes, int wanted, int held) {
  if (phaseBytes == 0 || wanted <= 0) return std::max(wanted, 0);
  uint64_t room = AffordableBufferGrowth();
  room = room > tileBytes ? room - tileBytes : 0;
  uint64_t perPhase = phaseBytes + phaseBytes / 4;
  bool allWithinBudget = uint64_t(held) * perPhase + uint64_t(wanted) * 2 * phaseBytes <= gRoundShapeBudget;
  int64_t budgeted = allWithinBudget ? wanted : int64_t(GetWorkerCount()) - held;
  int64_t fit = std::min<int64_t>(int64_t(std::min<uint64_t>(room / perPhase, 64)), budgeted);
  return int(std::max<int64_t>(0, std::min<int64_t>(wanted, fit)));
}

// The visible phases, as few rounds as memory allows: the first phase is generated alone to learn
// how large a phase is, then as many more as fit; their light sources are painted into every
// band and the phases freed before the next round. At the default settings every phase fits at
// once; long stars on large documents need the memory of one phase at a time, not of sixteen.
void RenderInRounds(ImageRecord* host, const ParameterSet& parameters, const bool used[4][4], int bands, int* rounds) {
  PhaseTask phases[16];
  int count = 0;
  for (int x = 0; x < 4; ++x) {
    for (int y = 0; y < 4; ++y) {
      if (used[x][y]) phases[count++] = PhaseTask{x, y, false};
    }
  }
  LinearConversion conversion;
  if (!MakeLinearConversion(*host, &conversion)) {
    SetRunResult(kStepFailed);
    Trace("Couldn't create color transform in ProcessImage(), *gResult set to %d.", kStepFailed);
    return;
  }
  EffectTile tiles[kMaximumBands];
  int64_t top = host->rectangle.top, height = host->rectangle.Height() / bands;
  for (int i = 0; i < bands; ++i) {
    int32_t bandTop = int32_t(top + i * height);
    int32_t bandBottom = i == bands - 1 ? host->rectangle.bottom : int32_t(bandTop + height);
    tiles[i].band = ImageRect{host->rectangle.left, bandTop, host->rectangle.right, bandBottom};
  }
  uint64_t tileBytes = uint64_t(host->rectangle.Width()) * uint64_t(host->rectangle.Height()) * 3 * sizeof(float);
  PhaseRound round;
  memset(round.roundOf, -1, sizeof round.roundOf);
  round.index = 0;
  int next = 0;
  uint64_t largestPhase = 0;  // bytes of the largest phase generated so far
  auto sizeOf = [&phases](int i) { return SubShapeBytes(gEffectShapes.star.subshapes[phases[i].phaseX][phases[i].phaseY]); };
  for (;;) {
    LARGE_INTEGER start = StageStart();
    int begin = next;
    // Once a phase's size is known, a round's phases are generated together, on all workers; once
    // the first round could not take them all, one a worker, the first phases telling little of
    // the size of the others.
    int remaining = round.index > 0 ? std::min<int>(count - next, int(std::max<uint32_t>(1, GetWorkerCount()))) : count - next;
    int together = largestPhase > 0 ? PhasesThatFit(largestPhase, 0, remaining, 0) : 0;
    if (together > 0) {
      GeneratePhases(&phases[next], together);
      next += together;
    } else if (next < count && round.index == 0 && parameters.length > 0 && parameters.softFlareIntensity > 0) {
      // The soft flare is made beside the first phase rather than after it, while that phase
      // alone tells how much memory a phase takes.
      PhaseTask first[2] = {phases[next++], PhaseTask{0, 0, true}};
      GeneratePhases(first, 2);
    } else if (next < count) {
      GeneratePhases(&phases[next++], 1);
    }
    if (RunResult() == 0 && next < count && together == 0) {
      int more = PhasesThatFit(sizeOf(begin), round.index == 0 ? tileBytes : 0, count - next, 1);
      if (more > 0) GeneratePhases(&phases[next], more);
      next += more;
    }
    for (int i = begin; i < next; ++i) largestPhase = std::max<uint64_t>(largestPhase, sizeOf(i));
    for (int i = begin; i < next; ++i) round.roundOf[phases[i].phaseX][phases[i].phaseY] = int8_t(round.index);
    round.last = next >= count;
    gRenderTimes.shapes += SecondsSince(start);
    start = StageStart();
    if (RunResult() == 0) PaintRound(host, parameters, tiles, bands, round, conversion);
    for (int i = begin; i < next; ++i) {
      SubShape* painted = &gEffectShapes.star.subshapes[phases[i].phaseX][phases[i].phaseY];
      if (!round.last) ReturnRenderBuffer(&painted->entries);  // the next round's phases are drawn into it
      ReleaseSubShape(painted);
    }
    gRenderTimes.painting += SecondsSince(start);
    ++round.index;
    if (RunResult() != 0 || round.last) break;
  }
  *rounds = round.index;
  for (int i = 0; i < bands; ++i) ReleaseEffectTile(&tiles[i]);
  ReleaseRenderBuffers();
}

}  // namespace

bool GenerateFinalEffectShapes(int phaseX, int phaseY) {
  auto advance = [] {
    if (AdvanceImageEditorProgress(1) && RunResult() != kUserCanceled) return true;
    SetRunResult(kUserCanceled);
    Trace("User pressed [Cancel] during progress bar display in GenerateFinalEffectShapes(), *gResult set to %d.", kUserCanceled);
    return false;
  };
  // Each shape is turned into the painters' form here, on the generating workers.
  auto acquire = [](Shape* shape, int x, int y) {
    SubShape* subshape = AcquireSubShape(shape, x, y);
    BufferDescriptor drawnInto{};
    bool converted = subshape != nullptr && ConvertToPaintForm(subshape, &drawnInto);
    ReturnRenderBuffer(&drawnInto);
    return converted;
  };
  if (!advance()) return false;
  if (!acquire(&gEffectShapes.star, phaseX, phaseY)) return false;
  if (!advance()) return false;
  if (phaseX == 0 && phaseY == 0 && !acquire(&gEffectShapes.softFlare, 0, 0)) return false;
  return advance();
}

int16_t ProcessImage(ImageRecord* hostImage) {
  ParameterSet parameters = ParameterSetOfCurrentBlock();
  if (!WaitForLightSourceTable() || RunResult() != 0) return RunResult();
  if (!gEffectShapes.initialized && !InitializeEffectTables()) return RunResult();
  gRenderAborted = false;
  EnterFinalRenderMode(*hostImage);
  SetEffectShapeParameters(parameters);
  bool used[4][4];
  int phases = UsedPhases(parameters, hostImage->rectangle, used);
  ForgetShapesOfOtherReach();
  int64_t rows = hostImage->rectangle.Height();
  int bands = int(std::max<int64_t>(1, std::min<int64_t>({int64_t(GetWorkerCount()), rows, int64_t(kMaximumBands)})));
  // Each band advances twice per light source (stars, then soft flares); each phase three times.
  StartImageEditorProgress(2 * gLightSourceTable.count * uint64_t(bands) + 3 * uint64_t(phases));
  gRenderTimes = RenderTimes{};
  if (rows > 0) RenderInRounds(hostImage, parameters, used, bands, &gRenderTimes.rounds);
  ReportOutOfMemory();
  if (RunResult() == 0) {
    ErrorReport(__LINE__, TraceMessage)
        .Report("Final render: %d phases in %d rounds, %d bands; shapes %.3f s, painting %.3f s.", phases, gRenderTimes.rounds,
                bands, gRenderTimes.shapes, gRenderTimes.painting);
  }
  return RunResult();
}

RenderTimes GetRenderTimes() { return gRenderTimes; }

void UseShapeReach(bool used) { gUseShapeReach = used; }

void UseCompactShapes(bool used) { gUseCompactShapes = used; }

void LimitRoundShapeMemory(uint64_t bytes) { gRoundShapeBudget = bytes != 0 ? bytes : kDefaultRoundShapeBudget; }
