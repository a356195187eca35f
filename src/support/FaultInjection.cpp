#include "support/FaultInjection.h"

#include <atomic>

namespace {
std::atomic<int> gArmed[FAULT_POINT_COUNT];
}

void ArmFault(FaultPoint point, int times) { gArmed[point].store(times, std::memory_order_release); }

void DisarmFaults() {
  for (std::atomic<int>& armed : gArmed) armed.store(0, std::memory_order_release);
}

bool FaultInjected(FaultPoint point) {
  int armed = gArmed[point].load(std::memory_order_acquire);
  while (armed > 0) {
    if (gArmed[point].compare_exchange_weak(armed, armed - 1, std::memory_order_acq_rel)) return true;
  }
  return false;
}
