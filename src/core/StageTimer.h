// Wall time of a stage of work, for the trace lines that say where a run spent its time.
#pragma once
#include <windows.h>

inline LARGE_INTEGER StageStart() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

inline double SecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}
