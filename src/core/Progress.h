// The host's progress bar, advanced from any thread: workers add units of work, and the bar is
// shown through the host's progress and abort procedures on the user-interface thread only.
#pragma once
#include <cstdint>

typedef void (*ProgressDisplayProc)(int32_t done, int32_t total);
typedef unsigned char (*AbortTestProc)(void);

bool InitializeImageEditorProgressBar();
void TerminateImageEditorProgressBar();
// The host's procedures of the current selector call (either may be null).
void SetImageEditorProgressProcs(ProgressDisplayProc progress, AbortTestProc abort);

void StartImageEditorProgress(uint64_t totalUnits);
bool AdvanceImageEditorProgress(uint64_t units);
bool DisplayImageEditorProgressBar(int32_t done, int32_t total);

struct ProgressState {
  bool apcMode;
  int32_t stepsDone;
  uint64_t accumulatedUnits;
  uint64_t unitsPerStep;
  int32_t totalSteps;
};
ProgressState GetImageEditorProgressState();
