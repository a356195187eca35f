// The bands of a detection pass advance row by row together, and a plateau one band fills
// reaches the other bands' views between two rows. Where a fill shows up in another band then
// depends only on the row counts, never on which thread ran ahead: every run finds the same table.
#pragma once
#include <windows.h>

#include <cstdint>

#include "core/BufferManager.h"
#include "core/ImageRecord.h"

struct BandLockstep {
  SRWLOCK lock;
  CONDITION_VARIABLE turned;
  int participants;  // bands still taking part
  int arrived;
  uint64_t generation;
};

// The pixels a band filled during the current row, to be filled in the other bands' views too.
struct FillLog {
  BufferDescriptor buffer;
  uint64_t count;
};

// The brightness (red + green + blue) / 3, linear, of every pixel of an 8-bit view, laid out as
// its pixels: the walks and shape statistics read one value a pixel instead of three samples and
// their table entries. Every fill of the view fills the plane too, so that the two never differ.
struct BrightnessPlane {
  BufferDescriptor values;
  int32_t filled;  // the brightness of a filled pixel, white
  int32_t* At(const ImageRecord& view, int64_t x, int64_t y) const {
    return static_cast<int32_t*>(values.block) + (view.Pixel(x, y) - static_cast<const uint8_t*>(view.pixels.block)) / 4;
  }
};

// False when the view is not 8-bit (IsInlineReadable) or the memory could not be had.
bool MakeBrightnessPlane(const ImageRecord& view, BrightnessPlane* plane);
bool CopyBrightnessPlane(const BrightnessPlane& from, BrightnessPlane* to);
void ReleaseBrightnessPlane(BrightnessPlane* plane);

void InitializeBandLockstep(BandLockstep* lockstep, int participants);
// Waits until every band still taking part has arrived.
void ArriveAndWait(BandLockstep* lockstep);
// A band that ends early (stopped, failed, never started) no longer holds the others back.
void LeaveBandLockstep(BandLockstep* lockstep);

// False, with the run result set and the failure reported, when the log cannot grow.
bool LogFilledPixel(FillLog* log, int64_t x, int64_t y);
// The pixels from (from, y) to (to, y), `to` included, as LogFilledPixel logs them one by one.
bool LogFilledRun(FillLog* log, int64_t from, int64_t to, int64_t y);
void FillLoggedPixels(const ImageRecord& view, const FillLog& log, BrightnessPlane* plane = nullptr);
void ReleaseFillLog(FillLog* log);
// Makes a pixel white, opaque and unselected: no candidate test or fill accepts it again.
void MarkPixelFilled(const ImageRecord& image, int64_t x, int64_t y, BrightnessPlane* plane = nullptr);
// The same for the pixels from (from, y) to (to, y), `to` included, of an 8-bit view.
void MarkRunFilled(const ImageRecord& image, int64_t from, int64_t to, int64_t y, BrightnessPlane* plane = nullptr);
