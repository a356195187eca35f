#include "support/StartupProgress.h"

#include <algorithm>
#include <atomic>

#include "support/AppMessages.h"

namespace {

std::atomic<HWND> gProgressDialog{nullptr};
std::atomic<uint64_t> gUnits{0};
std::atomic<uint64_t> gUnitsPerStep{1};
std::atomic<int> gRange{0};
int gPostedPosition = 0;  // under gPostLock
SRWLOCK gPostLock = SRWLOCK_INIT;

}  // namespace

void BeginStartupProgress(HWND dialog, int range, uint64_t unitsPerStep) {
  gProgressDialog = nullptr;
  gUnits = 0;
  gUnitsPerStep = std::max<uint64_t>(unitsPerStep, 1);
  gRange = std::max(range, 0);
  AcquireSRWLockExclusive(&gPostLock);
  gPostedPosition = 0;
  ReleaseSRWLockExclusive(&gPostLock);
  gProgressDialog = dialog;
  if (dialog != nullptr && range > 0) PostMessageW(dialog, WM_APP_INIT_PROGRESS, 0, range);
}

void AddStartupProgress(uint64_t units) {
  HWND dialog = gProgressDialog;
  if (dialog == nullptr) return;
  uint64_t total = gUnits.fetch_add(units) + units;
  int position = int(std::min<uint64_t>(total / gUnitsPerStep, uint64_t(gRange)));
  // Threads race to report: the claim and the post go together, or a thread that claimed a step
  // could post it after a later one and move the bar back.
  AcquireSRWLockExclusive(&gPostLock);
  if (gProgressDialog == dialog && position > gPostedPosition) {
    gPostedPosition = position;
    PostMessageW(dialog, WM_APP_INIT_PROGRESS, position, gRange);
  }
  ReleaseSRWLockExclusive(&gPostLock);
}

// Under the lock, so that no step claimed before the end is posted after it.
void EndStartupProgress() {
  AcquireSRWLockExclusive(&gPostLock);
  HWND dialog = gProgressDialog.exchange(nullptr);
  if (dialog != nullptr) PostMessageW(dialog, WM_APP_INIT_PROGRESS, 0, 0);
  ReleaseSRWLockExclusive(&gPostLock);
}
