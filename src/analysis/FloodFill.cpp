// Plateau fill over a band's own view of the analysis image. Filled pixels become white, opaque
// and unselected, so that the band neither tries them as candidates nor fills them again.
#include "analysis/FloodFill.h"

#include <cstdlib>

#include "core/BufferManager.h"
#include "core/RunResult.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"

namespace {

constexpr uint64_t kStackGrowth = 32768;

struct FillStack {
  BufferDescriptor buffer;
  uint64_t count = 0;
  uint64_t* Items() { return static_cast<uint64_t*>(buffer.block); }
};

bool Matches(const PixelValue& p, const PixelValue& reference) {
  return p.mask != 0 && std::llabs(int64_t(p.red) - reference.red) <= reference.red / 8 &&
         std::llabs(int64_t(p.green) - reference.green) <= reference.green / 8 &&
         std::llabs(int64_t(p.blue) - reference.blue) <= reference.blue / 8;
}

bool MarkFilled(const ImageRecord& image, FillLog* log, BrightnessPlane* plane, int64_t x, int64_t y) {
  MarkPixelFilled(image, x, y, plane);
  return log == nullptr || LogFilledPixel(log, x, y);
}

bool Push(FillStack* stack, int64_t x, int64_t y) {
  if (stack->count * sizeof(uint64_t) >= stack->buffer.size) {
    int16_t code = ReallocateBufferPreserveContents((stack->count + kStackGrowth) * sizeof(uint64_t), &stack->buffer);
    if (code != 0) {
      ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "Unable to allocate memory for a flood fill list.");
      SetRunResult(code);
      return false;
    }
  }
  stack->Items()[stack->count++] = (uint64_t(uint32_t(y)) << 32) | uint32_t(x);
  return true;
}

bool Fill(AnalysisRun* run, const ImageRecord& image, FillLog* log, BrightnessPlane* plane, int64_t x, int64_t y,
          const PixelValue& reference) {
  static constexpr int kNeighbours[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  FillStack stack;
  bool complete = MarkFilled(image, log, plane, x, y) && Push(&stack, x, y);
  uint64_t visited = 0;
  while (complete && stack.count > 0) {
    if ((++visited & 1023) == 0 && (run->abort || RunResult() != 0)) {
      complete = false;
      break;
    }
    uint64_t item = stack.Items()[--stack.count];
    int64_t cx = int32_t(item & 0xFFFFFFFF), cy = int32_t(item >> 32);
    for (const auto& n : kNeighbours) {
      int64_t nx = cx + n[0], ny = cy + n[1];
      if (!run->rect.Contains(double(nx), double(ny))) continue;
      PixelValue p;
      image.readPixel(&image, nx, ny, &p);
      if (!Matches(p, reference)) continue;
      if (!MarkFilled(image, log, plane, nx, ny) || !Push(&stack, nx, ny)) {
        complete = false;
        break;
      }
    }
  }
  DeallocateBuffer(&stack.buffer);
  return complete;
}

}  // namespace

bool FloodFillPlateau(AnalysisRun* run, const ImageRecord& image, FillLog* log, int64_t x, int64_t y, const PixelValue& reference,
                      BrightnessPlane* plane) {
  ScopedMutex lock(run->floodFillMutex);
  if (!lock.Owned()) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "FloodFillPlateau() - Wait for the flood-fill mutex failed.");
    return false;
  }
  return Fill(run, image, log, plane, x, y, reference);
}
