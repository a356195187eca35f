// An exception must never leave a thread: it would end the host's process along with the
// plug-in. Every thread entry is noexcept and runs its work through this guard, which reports the
// exception under the entry's name and sets the run's result; the entry still signals whatever
// its waiters wait for.
#pragma once
#include <new>

#include "core/RunResult.h"
#include "support/ErrorReport.h"

template <typename Work>
void RunGuarded(const char* entry, Work work) noexcept {
  try {
    work();
  } catch (const std::bad_alloc&) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "%s() - Out of memory.", entry);
    if (RunResult() == 0) SetRunResult(kOutOfMemory);
  } catch (...) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "%s() - Unexpected exception.", entry);
    if (RunResult() == 0) SetRunResult(kTaskError);
  }
}
