// Plateau fill over a band's own view of the analysis image. Filled pixels become white, opaque
// and unselected, so that the band neither tries them as candidates nor fills them again.
#include "analysis/FloodFill.h"

#include <cmath>
#include <cstdlib>

#include "analysis/Measure.h"
#include "core/BufferManager.h"
#include "core/EightBitPixels.h"
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

// Room in a stack of `count` items of `size` bytes for one more; false, with the failure reported
// and the run result set, when it cannot grow.
bool RoomForOneMore(BufferDescriptor* buffer, uint64_t count, uint64_t size) {
  if (count * size < buffer->size) return true;
  int16_t code = ReallocateBufferPreserveContents((count + kStackGrowth) * size, buffer);
  if (code == 0) return true;
  ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "Unable to allocate memory for a flood fill list.");
  SetRunResult(code);
  return false;
}

bool Push(FillStack* stack, int64_t x, int64_t y) {
  if (!RoomForOneMore(&stack->buffer, stack->count, sizeof(uint64_t))) return false;
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

// The same plateau by runs of a row, for an 8-bit view with a mask read in place: a pixel matches
// when its mask byte is set and each channel's byte is one the reference accepts, which a table of
// 256 answers per channel tells. Filling a run clears its mask, so no pixel is taken twice, and the
// pixels filled are the reference's: those joined to the start through matching neighbours.
struct Span {
  int64_t left, right, y;  // right inclusive
};

struct SpanStack {
  BufferDescriptor buffer;
  uint64_t count = 0;
  Span* Items() { return static_cast<Span*>(buffer.block); }
};

bool PushSpan(SpanStack* stack, const Span& span) {
  if (!RoomForOneMore(&stack->buffer, stack->count, sizeof(Span))) return false;
  stack->Items()[stack->count++] = span;
  return true;
}

struct SpanFill {
  const ImageRecord& image;
  FillLog* log;
  BrightnessPlane* plane;
  int64_t left, top, right, bottom;  // the analysis rectangle, right and bottom exclusive
  bool accepts[3][256];              // red, green and blue bytes within an eighth of the reference

  bool Matches(int64_t x, int64_t y) const {
    const uint8_t* p = image.Pixel(x, y);
    return *image.MaskAt(x, y) != 0 && accepts[0][p[2]] && accepts[1][p[1]] && accepts[2][p[0]];
  }
  bool FillRun(int64_t from, int64_t to, int64_t y) {
    MarkRunFilled(image, from, to, y, plane);
    return log == nullptr || LogFilledRun(log, from, to, y);
  }
};

bool FillBySpans(AnalysisRun* run, const ImageRecord& image, FillLog* log, BrightnessPlane* plane, int64_t x, int64_t y,
                 const PixelValue& reference) {
  SpanFill fill{image, log, plane, int64_t(std::ceil(run->rect.left)), int64_t(std::ceil(run->rect.top)),
                int64_t(std::ceil(run->rect.right)), int64_t(std::ceil(run->rect.bottom)), {}};
  const int32_t* linear = image.gammaTables.eightToLinear;
  const uint32_t channels[3] = {reference.red, reference.green, reference.blue};
  for (int c = 0; c < 3; ++c) {
    for (int b = 0; b < 256; ++b) fill.accepts[c][b] = std::llabs(int64_t(linear[b]) - channels[c]) <= channels[c] / 8;
  }
  // The start is filled whatever its colour, and its row's run grows from it.
  int64_t left = x, right = x;
  while (left - 1 >= fill.left && fill.Matches(left - 1, y)) --left;
  while (right + 1 < fill.right && fill.Matches(right + 1, y)) ++right;
  SpanStack stack;
  bool complete = fill.FillRun(left, right, y) && PushSpan(&stack, Span{left, right, y});
  uint64_t taken = 0;
  while (complete && stack.count > 0) {
    if ((++taken & 255) == 0 && (run->abort || RunResult() != 0)) {
      complete = false;
      break;
    }
    const Span span = stack.Items()[--stack.count];
    for (int64_t row : {span.y - 1, span.y + 1}) {
      if (row < fill.top || row >= fill.bottom) continue;
      for (int64_t at = span.left; at <= span.right && complete; ++at) {
        if (!fill.Matches(at, row)) continue;
        int64_t from = at, to = at;
        while (from - 1 >= fill.left && fill.Matches(from - 1, row)) --from;
        while (to + 1 < fill.right && fill.Matches(to + 1, row)) ++to;
        complete = fill.FillRun(from, to, row) && PushSpan(&stack, Span{from, to, row});
        at = to + 1;  // the pixel after the run does not match
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
  if (IsInlineReadable(image) && image.HasMask() && !UsingReferenceMeasurement()) {
    return FillBySpans(run, image, log, plane, x, y, reference);
  }
  return Fill(run, image, log, plane, x, y, reference);
}
