#include "HostClock.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace {

const std::chrono::steady_clock::time_point gHostStart = std::chrono::steady_clock::now();
std::atomic<bool> gMarksEnabled{false};

}  // namespace

double HostSeconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now() - gHostStart).count(); }

void SetHostTimeMarks(bool enabled) { gMarksEnabled = enabled; }

void MarkHostTime(const char* event) {
  if (!gMarksEnabled) return;
  // One call to printf per line keeps lines of the two threads whole.
  printf("time: %s at %.3f s\n", event, HostSeconds());
  fflush(stdout);
}
