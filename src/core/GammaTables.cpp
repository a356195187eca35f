// The gamma table cache. Entries are only added, never replaced: once 32 gammas are cached a
// new request gets the closest one. Filled tables are read without locking.
#include "core/GammaTables.h"

#include <windows.h>

#include <cmath>
#include <cstring>

#include "core/SampleTables.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"

namespace {

struct GammaEntry {
  double gamma = 0.0;
  BufferDescriptor tables[5];
};

HANDLE gGammaTableMutex = nullptr;
GammaEntry gEntries[kGammaCacheSize];
int gUsedEntries = 0;

constexpr uint64_t kTableBytes[5] = {256 * 4, 65536 * 4, 65536, 65536 * 2, 65536 * 2};

// An abandoned cache may be half-filled by the thread that died: it is not used.
bool WaitedForGammaTables(const ScopedMutex& lock) {
  DWORD waited = lock.WaitResult();
  if (waited == WAIT_OBJECT_0) return true;
  if (waited == WAIT_ABANDONED) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Wait for gamma tables access failed since the owning thread exited:  WAIT_ABANDONED");
  } else if (waited == WAIT_TIMEOUT) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Wait for gamma tables access timed out:  WAIT_TIMEOUT");
  } else {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Attempt to wait for gamma tables access failed.");
  }
  return false;
}

// One pass over the 65536 steps fills all five tables.
void FillEntry(GammaEntry* entry, double gamma) {
  auto* eight = static_cast<int32_t*>(entry->tables[0].block);
  auto* sixteen = static_cast<int32_t*>(entry->tables[1].block);
  auto* toEight = static_cast<uint8_t*>(entry->tables[2].block);
  auto* toSixteen = static_cast<uint16_t*>(entry->tables[3].block);
  auto* toHalf = static_cast<uint16_t*>(entry->tables[4].block);
  double inverse = 1.0 / gamma;
  for (int j = 0; j < 256; ++j) eight[j] = int32_t(std::llround(std::pow(j / 255.0, gamma) * kLinearMaximum));
  eight[255] = kLinearMaximum;
  for (int j = 0; j < 65536; ++j) {
    double fraction = j / 65535.0;
    double encoded = std::pow(fraction, inverse);
    sixteen[j] = int32_t(std::llround(std::pow(fraction, gamma) * kLinearMaximum));
    toEight[j] = uint8_t(std::lround(encoded * 255.0));
    toSixteen[j] = uint16_t(std::lround(encoded * 65535.0));
    toHalf[j] = FloatToHalf(float(encoded));
  }
  sixteen[65535] = kLinearMaximum;
  entry->gamma = gamma;
}

void Deliver(const GammaEntry& entry, GammaTables* tables) {
  tables->gamma = entry.gamma;
  tables->eightToLinear = static_cast<const int32_t*>(entry.tables[0].block);
  tables->sixteenToLinear = static_cast<const int32_t*>(entry.tables[1].block);
  tables->linearToEight = static_cast<const uint8_t*>(entry.tables[2].block);
  tables->linearToSixteen = static_cast<const uint16_t*>(entry.tables[3].block);
  tables->linearToHalf = static_cast<const uint16_t*>(entry.tables[4].block);
}

const GammaEntry* FindEntry(double gamma, const GammaEntry** closest) {
  double bestDistance = 9999.0;
  *closest = nullptr;
  for (int i = 0; i < gUsedEntries; ++i) {
    if (gEntries[i].tables[0].block == nullptr) continue;  // an entry whose tables could not be had
    if (gEntries[i].gamma == gamma) return &gEntries[i];
    double distance = std::fabs(gEntries[i].gamma - gamma);
    if (distance < bestDistance) {
      bestDistance = distance;
      *closest = &gEntries[i];
    }
  }
  return nullptr;
}

const GammaEntry* AddEntry(double gamma) {
  GammaEntry* entry = &gEntries[gUsedEntries++];
  *entry = GammaEntry{};
  for (int t = 0; t < 5; ++t) {
    if (ReallocateBuffer(kTableBytes[t], &entry->tables[t]) != 0) {
      for (BufferDescriptor& table : entry->tables) DeallocateBuffer(&table);
      return nullptr;
    }
  }
  FillEntry(entry, gamma);
  return entry;
}

}  // namespace

bool CreateGammaTableMutex() {
  GetSampleTables();
  if (gGammaTableMutex != nullptr) return true;
  gGammaTableMutex = CreateMutexW(nullptr, FALSE, nullptr);
  if (gGammaTableMutex == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, "Debug: Unexpected Error", "CreateMutex for GammaTableMutex failed");
    return false;
  }
  return true;
}

void ReleaseGammaTables() {
  for (int i = 0; i < gUsedEntries; ++i) {
    for (BufferDescriptor& table : gEntries[i].tables) DeallocateBuffer(&table);
  }
  gUsedEntries = 0;
  if (gGammaTableMutex != nullptr) CloseHandle(gGammaTableMutex);
  gGammaTableMutex = nullptr;
}

bool LookUpGammaTables(double gamma, GammaTables* tables) {
  if (gGammaTableMutex == nullptr) return false;
  ScopedMutex lock(gGammaTableMutex);
  if (!WaitedForGammaTables(lock)) return false;
  const GammaEntry* closest = nullptr;
  const GammaEntry* entry = FindEntry(gamma, &closest);
  if (entry == nullptr && gUsedEntries == kGammaCacheSize) {
    entry = closest;
    if (entry == nullptr) {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, "Debug:  Unexpected error", "Couldn't retrieve gamma table pointer, no more room and no closest entry.");
    }
  } else if (entry == nullptr) {
    entry = AddEntry(gamma);
    if (entry == nullptr) entry = closest;
    if (entry == nullptr) {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, "Debug:  Unexpected error", "Couldn't retrieve gamma table pointer, no closest entry.");
    }
  }
  if (entry != nullptr) Deliver(*entry, tables);
  return entry != nullptr;
}

int UsedGammaTableEntries() { return gUsedEntries; }
