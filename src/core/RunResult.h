// The host's result cell of the current selector call: 0 while all is well, a negative code once
// a step failed or the user cancelled. Every step and every worker checks it before working.
#pragma once
#include <cstdint>

#include "PITypes.h"

// The results a step leaves in the cell, in the host's own codes: the one list of them.
constexpr int16_t kStepFailed = paramErr;                    // -50: a start step failed
constexpr int16_t kOutOfMemory = memFullErr;                 // -108: memory or host data unavailable
constexpr int16_t kUserCanceled = userCanceledErr;           // -128: the user cancelled
constexpr int16_t kTaskError = errMissingParameter;          // -1715: an event, mutex, thread or wait failed
constexpr int16_t kEffectTileFailed = writErr;               // -20: an effect tile failed
constexpr int16_t kHostHandlesInaccessible = filterBadParameters;  // -30100
// What the scripting readers and writers return when memory is exhausted.
constexpr int16_t kScriptingOutOfMemory = -148;

extern int16_t* gResult;

// Workers read the cell while the user-interface thread may write it; the accesses are atomic.
inline int16_t RunResult() { return gResult != nullptr ? __atomic_load_n(gResult, __ATOMIC_ACQUIRE) : 0; }
inline void SetRunResult(int16_t value) {
  if (gResult != nullptr) __atomic_store_n(gResult, value, __ATOMIC_RELEASE);
}
