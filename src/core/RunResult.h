// The host's result cell of the current selector call: 0 while all is well, a negative code once
// a step failed or the user cancelled. Every step and every worker checks it before working.
#pragma once
#include <cstdint>

extern int16_t* gResult;

// Workers read the cell while the user-interface thread may write it; the accesses are atomic.
inline int16_t RunResult() { return gResult != nullptr ? __atomic_load_n(gResult, __ATOMIC_ACQUIRE) : 0; }
inline void SetRunResult(int16_t value) {
  if (gResult != nullptr) __atomic_store_n(gResult, value, __ATOMIC_RELEASE);
}
