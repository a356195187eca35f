// The buffer manager. Blocks are aligned to the processor's cache line and sized in whole lines;
// usage statistics are kept under BufferUsageSection and logged when the library shuts down.
#include "core/BufferManager.h"

#include <windows.h>
#include <cpuid.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>

#include "core/RunResult.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"

namespace {

CRITICAL_SECTION gBufferUsageSection;
bool gSectionCreated = false;
size_t gAlignment = 64;
BufferStatistics gStatistics;
std::atomic<int> gFailuresToInject{0};
std::atomic<int> gAllocationsBeforeFailure{0};

// The second-level cache line when the processor reports one, else the first-level data line.
size_t ProcessorCacheLine() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  unsigned maxExtended = __get_cpuid_max(0x80000000, nullptr);
  size_t line = 0;
  if (maxExtended >= 0x80000006 && __get_cpuid(0x80000006, &eax, &ebx, &ecx, &edx)) line = ecx & 0xFF;
  if (line == 0 && maxExtended >= 0x80000005 && __get_cpuid(0x80000005, &eax, &ebx, &ecx, &edx)) line = ecx & 0xFF;
  if (line == 0) line = 64;
  if (line % 16 != 0) line *= 16;
  return line;
}

bool InjectFailure() {
  int skip = gAllocationsBeforeFailure.load();
  while (skip > 0) {
    if (gAllocationsBeforeFailure.compare_exchange_weak(skip, skip - 1)) return false;
  }
  int remaining = gFailuresToInject.load();
  while (remaining > 0) {
    if (gFailuresToInject.compare_exchange_weak(remaining, remaining - 1)) return true;
  }
  return false;
}

// Statistics are touched only here, so that a load without the section (it failed) still works.
template <typename Update>
void UpdateStatistics(Update update) {
  if (!gSectionCreated) {
    update(gStatistics);
    return;
  }
  ScopedCriticalSection lock(gBufferUsageSection);
  update(gStatistics);
}

void ChangeUsage(BufferStatistics& statistics, uint64_t added, uint64_t removed) {
  statistics.currentUsage = statistics.currentUsage + added >= removed ? statistics.currentUsage + added - removed : 0;
  statistics.peakUsage = std::max(statistics.peakUsage, statistics.currentUsage);
}

void ReportFailure(const char* function, uint64_t requested, uint64_t previous) {
  BufferStatistics now = GetBufferStatistics();
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError,
              "%s Allocation Failed: Requested = %s Bytes, Previous Size = %s Bytes, Current Usage = %s Bytes, Peak Usage = %s Bytes",
              function, FormatByteCount(requested).c_str(), FormatByteCount(previous).c_str(),
              FormatByteCount(now.currentUsage).c_str(), FormatByteCount(now.peakUsage).c_str());
}

}  // namespace

void InitializeBufferManager() {
  gAlignment = ProcessorCacheLine();
  if (gSectionCreated) return;
  if (CreateCriticalSection(&gBufferUsageSection)) {
    gSectionCreated = true;
  } else {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not create 'BufferUsageSection' critical section.");
  }
}

void TerminateBufferManager() {
  if (!gSectionCreated) return;
  DeleteCriticalSection(&gBufferUsageSection);
  gSectionCreated = false;
}

size_t GetBufferAlignment() { return gAlignment; }

// The alignment is a power of two, so the low bits can simply be cleared.
uint64_t RoundedBufferSize(uint64_t size) {
  uint64_t mask = gAlignment - 1;
  return (size & mask) == 0 ? size : (size & ~mask) + gAlignment;
}

namespace {

constexpr uint64_t kLargeRequest = 64ull << 20;

// Working buffers may take half of the machine's memory. Beyond that a growth is
// refused, as an allocation failure the caller reports, rather than granted by an overcommitting
// system and paid for later by a process killed or thrashing while the pages are touched.
std::atomic<uint64_t> gWorkingMemoryLimitOverride{0};

uint64_t WorkingMemoryLimit() {
  if (uint64_t forced = gWorkingMemoryLimitOverride.load(std::memory_order_relaxed)) return forced;
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;
  return status.ullTotalPhys / 2;
}

bool Affordable(uint64_t growth) {
  if (growth < kLargeRequest) return true;
  uint64_t limit = WorkingMemoryLimit();
  return limit == UINT64_MAX || GetBufferStatistics().currentUsage + growth <= limit;
}

}  // namespace

void OverrideWorkingMemoryLimit(uint64_t bytes) { gWorkingMemoryLimitOverride.store(bytes, std::memory_order_relaxed); }

uint64_t AffordableBufferGrowth() {
  uint64_t limit = WorkingMemoryLimit(), usage = GetBufferStatistics().currentUsage;
  if (limit == UINT64_MAX) return UINT64_MAX;
  return usage < limit ? limit - usage : 0;
}

int16_t ReallocateBuffer(uint64_t size, BufferDescriptor* buffer) {
  uint64_t oldRounded = buffer->size != 0 ? RoundedBufferSize(buffer->size) : 0;
  uint64_t previous = buffer->size;
  if (buffer->block != nullptr) _aligned_free(buffer->block);
  buffer->block = nullptr;
  void* block = nullptr;
  uint64_t rounded = RoundedBufferSize(size);
  if (!InjectFailure() && rounded <= SIZE_MAX && Affordable(rounded)) {
    block = _aligned_malloc(size_t(std::max<uint64_t>(rounded, 1)), gAlignment);
  }
  if (block == nullptr) {
    UpdateStatistics([&](BufferStatistics& s) { ChangeUsage(s, 0, oldRounded); });
    buffer->size = 0;
    ReportFailure("ReallocateBuffer()", size, previous);
    return kOutOfMemory;
  }
  UpdateStatistics([&](BufferStatistics& s) { ChangeUsage(s, rounded, oldRounded); });
  buffer->block = block;
  buffer->size = size;
  return 0;
}

int16_t ReallocateBufferPreserveContents(uint64_t size, BufferDescriptor* buffer) {
  if (size == buffer->size) return 0;
  uint64_t oldRounded = buffer->size != 0 ? RoundedBufferSize(buffer->size) : 0;
  uint64_t rounded = RoundedBufferSize(size);
  if (size == 0) {
    if (buffer->block != nullptr) _aligned_free(buffer->block);
    UpdateStatistics([&](BufferStatistics& s) { ChangeUsage(s, 0, oldRounded); });
    buffer->block = nullptr;
    buffer->size = 0;
    return 0;
  }
  void* block = nullptr;
  if (!InjectFailure() && rounded <= SIZE_MAX && Affordable(rounded > oldRounded ? rounded - oldRounded : 0)) {
    block = _aligned_realloc(buffer->block, size_t(rounded), gAlignment);
  }
  if (block == nullptr) {
    ReportFailure("ReallocateBufferPreserveContents()", size, buffer->size);
    return kOutOfMemory;
  }
  bool moved = buffer->block != nullptr && block != buffer->block;
  UpdateStatistics([&](BufferStatistics& s) {
    if (moved) {
      uint64_t bytes = std::min(oldRounded, rounded);
      ++s.memoryMoves;
      s.totalBytesMoved += bytes;
      s.largestMove = std::max(s.largestMove, bytes);
    }
    s.largestReallocationRequest = std::max(s.largestReallocationRequest, rounded);
    if (rounded > oldRounded) s.largestExpansionRequest = std::max(s.largestExpansionRequest, rounded - oldRounded);
    ChangeUsage(s, rounded, oldRounded);
  });
  buffer->block = block;
  buffer->size = size;
  return 0;
}

void DeallocateBuffer(BufferDescriptor* buffer) {
  if (buffer == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, "Debug:  Unexepected error.", "NULL buffer descriptor pointer received in DeallocateBuffer()");
    return;
  }
  if (buffer->size == 0) return;
  uint64_t rounded = RoundedBufferSize(buffer->size);
  _aligned_free(buffer->block);
  UpdateStatistics([&](BufferStatistics& s) { ChangeUsage(s, 0, rounded); });
  buffer->block = nullptr;
  buffer->size = 0;
}

BufferStatistics GetBufferStatistics() {
  BufferStatistics copy;
  UpdateStatistics([&](BufferStatistics& s) { copy = s; });
  return copy;
}

void ReportBufferUsage() {
  BufferStatistics s = GetBufferStatistics();
  ErrorReport(__LINE__, TraceMessage)
      .Report("ReportBufferUsage():\n\n\tCurrent Usage = %s Bytes, Peak Usage = %s Bytes\n\tLargest Reallocation Request = %s "
              "Bytes, Largest Expansion Request = %s Bytes\n\tNumber Of Memory Moves Required =  %s, Largest Move Required = "
              " %s Bytes, Total Number Of Bytes Moved = %s\n\n",
              FormatByteCount(s.currentUsage).c_str(), FormatByteCount(s.peakUsage).c_str(),
              FormatByteCount(s.largestReallocationRequest).c_str(), FormatByteCount(s.largestExpansionRequest).c_str(),
              FormatByteCount(s.memoryMoves).c_str(), FormatByteCount(s.largestMove).c_str(),
              FormatByteCount(s.totalBytesMoved).c_str());
}

std::string FormatByteCount(uint64_t value) {
  std::string digits = std::to_string(value);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

void FailNextBufferAllocations(int count) {
  gAllocationsBeforeFailure = 0;
  gFailuresToInject = count;
}

void FailBufferAllocationsAfter(int allocations, int count) {
  gAllocationsBeforeFailure = allocations;
  gFailuresToInject = count;
}

void ResetBufferStatistics(size_t alignment) {
  UpdateStatistics([](BufferStatistics& s) { s = BufferStatistics{}; });
  gAlignment = alignment;
}
