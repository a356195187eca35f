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

void InitializeBandLockstep(BandLockstep* lockstep, int participants);
// Waits until every band still taking part has arrived.
void ArriveAndWait(BandLockstep* lockstep);
// A band that ends early (stopped, failed, never started) no longer holds the others back.
void LeaveBandLockstep(BandLockstep* lockstep);

// False, with the run result set and the failure reported, when the log cannot grow.
bool LogFilledPixel(FillLog* log, int64_t x, int64_t y);
void FillLoggedPixels(const ImageRecord& view, const FillLog& log);
void ReleaseFillLog(FillLog* log);
// Makes a pixel white, opaque and unselected: no candidate test or fill accepts it again.
void MarkPixelFilled(const ImageRecord& image, int64_t x, int64_t y);
