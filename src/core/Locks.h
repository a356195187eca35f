// Small RAII wrappers for the process's named locks, and the one place that lists those locks
// in the order in which they may be taken (an outer lock first).
#pragma once
#include <windows.h>

// Lock order, outermost first. A lock is never held across a host callback, a SendMessage or a
// report that may show a message box.
//   1. ProgressComputationSection  progress counters (released before an APC is queued)
//   2. BufferUsageSection          buffer statistics
//   3. LogQueueSection             debug log queue (innermost: every thread reports under any lock)

class ScopedCriticalSection {
 public:
  explicit ScopedCriticalSection(CRITICAL_SECTION& section) : m_Section(section) { EnterCriticalSection(&m_Section); }
  ~ScopedCriticalSection() { LeaveCriticalSection(&m_Section); }
  ScopedCriticalSection(const ScopedCriticalSection&) = delete;
  ScopedCriticalSection& operator=(const ScopedCriticalSection&) = delete;

 private:
  CRITICAL_SECTION& m_Section;
};
