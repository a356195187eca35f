// The process's named locks in the one order in which they may be nested, the one way a critical
// section is created, and scoped guards so that no path can leave a lock held.
#pragma once
#include <windows.h>

// Lock order, outermost first. A lock is never held across a host callback, a SendMessage or a
// report that may show a message box; a thread holding one may take only those listed below it.
//   1. generation turns             semaphore: how many stars are generated at once (final render)
//   2. SubShape mutex               one slim lock per phase of a shape: its lazy generation
//   3. flood-fill mutex             the analysis image while a plateau is filled
//   4. TransformCacheMutex          colour transform cache
//   5. GammaTableMutex              gamma table cache
//   6. star scratch lock            slim lock: scratch buffers left by finished stars
//   7. spike falloff lock           slim lock: the cached spike falloff tables
//   8. ProgressComputationSection   progress counters (released before an APC is queued)
//   9. BufferUsageSection           buffer statistics
//  10. light-source entry lock       slim lock: one entry read or written whole (effect editor)
//  11. LogQueueSection              debug log queue (innermost: every thread reports under any lock)

// Every critical section spins 1024 times before it waits, and has its wait event allocated at
// creation (the high bit), so that entering it can never fail later for lack of memory. Windows
// takes these bits only through the spin-count call: the flags of the Ex variant are reserved.
constexpr DWORD kCriticalSectionSpinCount = 0x80000400;

// False with the thread's last error set when the section could not be created.
inline bool CreateCriticalSection(CRITICAL_SECTION* section) {
  return InitializeCriticalSectionAndSpinCount(section, kCriticalSectionSpinCount) != FALSE;
}

class ScopedCriticalSection {
 public:
  explicit ScopedCriticalSection(CRITICAL_SECTION& section) : m_Section(section) { EnterCriticalSection(&m_Section); }
  ~ScopedCriticalSection() { LeaveCriticalSection(&m_Section); }
  ScopedCriticalSection(const ScopedCriticalSection&) = delete;
  ScopedCriticalSection& operator=(const ScopedCriticalSection&) = delete;

 private:
  CRITICAL_SECTION& m_Section;
};

// Waits for a mutex and releases it when the scope ends, whenever the wait gave ownership (an
// abandoned mutex is owned too). The caller reads the wait's result to report in its own words.
class ScopedMutex {
 public:
  explicit ScopedMutex(HANDLE mutex, DWORD milliseconds = INFINITE)
      : m_Mutex(mutex), m_Waited(mutex != nullptr ? WaitForSingleObject(mutex, milliseconds) : WAIT_FAILED) {}
  ~ScopedMutex() { Release(); }
  ScopedMutex(const ScopedMutex&) = delete;
  ScopedMutex& operator=(const ScopedMutex&) = delete;

  DWORD WaitResult() const { return m_Waited; }
  bool Owned() const { return m_Waited == WAIT_OBJECT_0 || m_Waited == WAIT_ABANDONED; }
  void Release() {
    if (Owned()) ReleaseMutex(m_Mutex);
    m_Waited = WAIT_FAILED;
  }

 private:
  HANDLE m_Mutex;
  DWORD m_Waited;
};

class ScopedExclusiveLock {
 public:
  explicit ScopedExclusiveLock(SRWLOCK& lock) : m_Lock(lock) { AcquireSRWLockExclusive(&m_Lock); }
  ~ScopedExclusiveLock() { ReleaseSRWLockExclusive(&m_Lock); }
  ScopedExclusiveLock(const ScopedExclusiveLock&) = delete;
  ScopedExclusiveLock& operator=(const ScopedExclusiveLock&) = delete;

 private:
  SRWLOCK& m_Lock;
};

class ScopedSharedLock {
 public:
  explicit ScopedSharedLock(SRWLOCK& lock) : m_Lock(lock) { AcquireSRWLockShared(&m_Lock); }
  ~ScopedSharedLock() { ReleaseSRWLockShared(&m_Lock); }
  ScopedSharedLock(const ScopedSharedLock&) = delete;
  ScopedSharedLock& operator=(const ScopedSharedLock&) = delete;

 private:
  SRWLOCK& m_Lock;
};

// A turn taken from a counting semaphore, given back when the scope ends; a semaphore that was
// never created gives every caller a turn.
class ScopedSemaphoreTurn {
 public:
  explicit ScopedSemaphoreTurn(HANDLE semaphore, bool taken) : m_Semaphore(taken ? semaphore : nullptr) {}
  ~ScopedSemaphoreTurn() {
    if (m_Semaphore != nullptr) ReleaseSemaphore(m_Semaphore, 1, nullptr);
  }
  ScopedSemaphoreTurn(const ScopedSemaphoreTurn&) = delete;
  ScopedSemaphoreTurn& operator=(const ScopedSemaphoreTurn&) = delete;

 private:
  HANDLE m_Semaphore;
};
