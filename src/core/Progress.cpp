// Progress counters under ProgressComputationSection. Workers never call the host: a completed
// step is queued as an APC to the user-interface thread, which runs it while it waits alertably
// for the workers, and a cancel there becomes gResult = -128 for the workers to see.
#include "core/Progress.h"

#include <windows.h>

#include "core/RunResult.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"

namespace {

CRITICAL_SECTION gProgressComputationSection;
bool gSectionCreated = false;
DWORD gUserInterfaceThreadId = 0;
HANDLE gUserInterfaceThread = nullptr;
ProgressDisplayProc gHostProgress = nullptr;
AbortTestProc gHostAbort = nullptr;
ProgressState gProgress{};

void CALLBACK DisplayCurrentImageEditorProgress_APC(ULONG_PTR stepsDone) {
  int32_t total = 0;
  {
    ScopedCriticalSection lock(gProgressComputationSection);
    total = gProgress.totalSteps;
  }
  if (!DisplayImageEditorProgressBar(int32_t(stepsDone), total)) {
    SetRunResult(kUserCanceled);
    ErrorReport(__LINE__, TraceMessage)
        .Report("DisplayImageEditorProgressBar returned false in DisplayCurrentImageEditorProgress_APC(), *gResult set to %d.", kUserCanceled);
  }
}

}  // namespace

bool InitializeImageEditorProgressBar() {
  if (!gSectionCreated) {
    if (!CreateCriticalSection(&gProgressComputationSection)) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Could not create 'ProgressComputationSection' critical section.");
      SetRunResult(kOutOfMemory);
      return false;
    }
    gSectionCreated = true;
  }
  gUserInterfaceThreadId = GetCurrentThreadId();
  if (gUserInterfaceThread == nullptr &&
      !DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &gUserInterfaceThread, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    gUserInterfaceThread = nullptr;
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "InitializeImageEditorProgressBar() - Could not get handle for UI thread.");
    return false;
  }
  return true;
}

void TerminateImageEditorProgressBar() {
  if (gSectionCreated) DeleteCriticalSection(&gProgressComputationSection);
  gSectionCreated = false;
  if (gUserInterfaceThread != nullptr) CloseHandle(gUserInterfaceThread);
  gUserInterfaceThread = nullptr;
}

void SetImageEditorProgressProcs(ProgressDisplayProc progress, AbortTestProc abort) {
  gHostProgress = progress;
  gHostAbort = abort;
}

void StartImageEditorProgress(uint64_t totalUnits) {
  int32_t total = 0;
  {
    ScopedCriticalSection lock(gProgressComputationSection);
    gProgress.apcMode = true;
    gProgress.stepsDone = 0;
    gProgress.accumulatedUnits = 0;
    gProgress.unitsPerStep = totalUnits > 100 ? totalUnits / 100 : 1;
    gProgress.totalSteps = totalUnits > 100 ? 100 : int32_t(totalUnits);
    total = gProgress.totalSteps;
  }
  DisplayImageEditorProgressBar(0, total);
}

bool AdvanceImageEditorProgress(uint64_t units) {
  int32_t done = 0;
  int32_t total = 0;
  bool apcMode = false;
  bool stepped = false;
  {
    ScopedCriticalSection lock(gProgressComputationSection);
    gProgress.accumulatedUnits += units;
    // Units per step are the total over 100 rounded down, so the units can outrun the steps:
    // the bar stops at its total rather than showing more than all of the work.
    while (gProgress.unitsPerStep > 0 && gProgress.accumulatedUnits >= gProgress.unitsPerStep &&
           gProgress.stepsDone < gProgress.totalSteps) {
      gProgress.accumulatedUnits -= gProgress.unitsPerStep;
      ++gProgress.stepsDone;
      stepped = true;
    }
    done = gProgress.stepsDone;
    total = gProgress.totalSteps;
    apcMode = gProgress.apcMode;
  }
  if (!stepped) return true;
  if (!apcMode) return DisplayImageEditorProgressBar(done, total);
  if (gUserInterfaceThread == nullptr ||
      !QueueUserAPC(DisplayCurrentImageEditorProgress_APC, gUserInterfaceThread, ULONG_PTR(done))) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "AdvanceImageEditorProgress() - Could not queue progress bar update to APC queue.");
    return false;
  }
  return true;
}

bool DisplayImageEditorProgressBar(int32_t done, int32_t total) {
  if (GetCurrentThreadId() != gUserInterfaceThreadId) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "DisplayImageEditorProgressBar() - Function was not called from UI thread.");
    return false;
  }
  if (gHostProgress != nullptr) gHostProgress(done, total);
  return gHostAbort == nullptr || gHostAbort() == 0;
}

ProgressState GetImageEditorProgressState() {
  ScopedCriticalSection lock(gProgressComputationSection);
  return gProgress;
}
