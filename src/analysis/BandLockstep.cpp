#include "analysis/BandLockstep.h"

#include <algorithm>
#include <cstring>

#include "core/EightBitPixels.h"
#include "core/RunResult.h"
#include "support/ErrorReport.h"

namespace {

constexpr uint64_t kLogGrowth = 32768;

// Called with the lock held: the last arrival starts the next generation.
void ReleaseWhenComplete(BandLockstep* lockstep) {
  if (lockstep->arrived < lockstep->participants || lockstep->arrived == 0) return;
  lockstep->arrived = 0;
  ++lockstep->generation;
  WakeAllConditionVariable(&lockstep->turned);
}

}  // namespace

void InitializeBandLockstep(BandLockstep* lockstep, int participants) {
  InitializeSRWLock(&lockstep->lock);
  InitializeConditionVariable(&lockstep->turned);
  lockstep->participants = participants;
  lockstep->arrived = 0;
  lockstep->generation = 0;
}

void ArriveAndWait(BandLockstep* lockstep) {
  AcquireSRWLockExclusive(&lockstep->lock);
  uint64_t generation = lockstep->generation;
  ++lockstep->arrived;
  ReleaseWhenComplete(lockstep);
  while (lockstep->generation == generation) SleepConditionVariableSRW(&lockstep->turned, &lockstep->lock, INFINITE, 0);
  ReleaseSRWLockExclusive(&lockstep->lock);
}

void LeaveBandLockstep(BandLockstep* lockstep) {
  AcquireSRWLockExclusive(&lockstep->lock);
  --lockstep->participants;
  ReleaseWhenComplete(lockstep);
  ReleaseSRWLockExclusive(&lockstep->lock);
}

bool MakeBrightnessPlane(const ImageRecord& view, BrightnessPlane* plane) {
  if (!IsInlineReadable(view)) return false;
  uint64_t count = uint64_t(view.pixels.size) / 4;
  if (ReallocateBuffer(count * sizeof(int32_t), &plane->values) != 0) return false;
  const int32_t* linear = view.gammaTables.eightToLinear;
  const auto* pixels = static_cast<const uint8_t*>(view.pixels.block);
  auto* values = static_cast<int32_t*>(plane->values.block);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* p = pixels + i * 4;
    values[i] = int32_t((uint32_t(linear[p[2]]) + uint32_t(linear[p[1]]) + uint32_t(linear[p[0]])) / 3);
  }
  plane->filled = int32_t(uint32_t(linear[0xFF]) * 3 / 3);
  return true;
}

bool CopyBrightnessPlane(const BrightnessPlane& from, BrightnessPlane* to) {
  if (ReallocateBuffer(from.values.size, &to->values) != 0) return false;
  memcpy(to->values.block, from.values.block, size_t(from.values.size));
  to->filled = from.filled;
  return true;
}

void ReleaseBrightnessPlane(BrightnessPlane* plane) { DeallocateBuffer(&plane->values); }

void MarkPixelFilled(const ImageRecord& image, int64_t x, int64_t y, BrightnessPlane* plane) {
  uint8_t* pixel = image.Pixel(x, y);
  pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0xFF;
  if (plane != nullptr) *plane->At(image, x, y) = plane->filled;
  if (image.HasMask()) *image.MaskAt(x, y) = 0;
}

void MarkRunFilled(const ImageRecord& image, int64_t from, int64_t to, int64_t y, BrightnessPlane* plane) {
  const size_t count = size_t(to - from + 1);
  memset(image.Pixel(from, y), 0xFF, count * 4);
  if (plane != nullptr) std::fill_n(plane->At(image, from, y), count, plane->filled);
  if (image.HasMask()) memset(image.MaskAt(from, y), 0, count);
}

namespace {

// Room for `more` entries; a plateau can cover most of the image, so the log grows by half of
// itself at least, not by a fixed step.
bool ReserveLog(FillLog* log, uint64_t more) {
  if ((log->count + more) * sizeof(uint64_t) <= log->buffer.size) return true;
  uint64_t entries = std::max(log->count + more, log->count + std::max(kLogGrowth, log->count / 2));
  int16_t code = ReallocateBufferPreserveContents(entries * sizeof(uint64_t), &log->buffer);
  if (code == 0) return true;
  ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "Unable to allocate memory for a flood fill list.");
  SetRunResult(code);
  return false;
}

uint64_t LogEntry(int64_t x, int64_t y) { return (uint64_t(uint32_t(y)) << 32) | uint32_t(x); }

}  // namespace

bool LogFilledPixel(FillLog* log, int64_t x, int64_t y) {
  if (!ReserveLog(log, 1)) return false;
  static_cast<uint64_t*>(log->buffer.block)[log->count++] = LogEntry(x, y);
  return true;
}

bool LogFilledRun(FillLog* log, int64_t from, int64_t to, int64_t y) {
  if (!ReserveLog(log, uint64_t(to - from + 1))) return false;
  auto* items = static_cast<uint64_t*>(log->buffer.block);
  for (int64_t x = from; x <= to; ++x) items[log->count++] = LogEntry(x, y);
  return true;
}

// Entries of neighbouring pixels of a row, as a fill by runs logs them, are filled as one run.
void FillLoggedPixels(const ImageRecord& view, const FillLog& log, BrightnessPlane* plane) {
  const auto* items = static_cast<const uint64_t*>(log.buffer.block);
  const bool byRuns = IsInlineReadable(view);
  for (uint64_t i = 0; i < log.count;) {
    uint64_t end = i + 1;
    while (byRuns && end < log.count && items[end] == items[end - 1] + 1 && (items[end] >> 32) == (items[i] >> 32)) ++end;
    const int64_t x = int32_t(items[i] & 0xFFFFFFFF), y = int32_t(items[i] >> 32);
    if (end - i > 1) MarkRunFilled(view, x, x + int64_t(end - i) - 1, y, plane);
    else MarkPixelFilled(view, x, y, plane);
    i = end;
  }
}

void ReleaseFillLog(FillLog* log) {
  DeallocateBuffer(&log->buffer);
  log->count = 0;
}
