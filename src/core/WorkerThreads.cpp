// Worker threads: the worker count from the processor topology, and spawning, waiting for and
// destroying the threads of a pass. Threads start through the run-time library so that it is
// initialised for them.
#include "core/WorkerThreads.h"

#include <atomic>

#include <process.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/RunResult.h"
#include "support/ErrorReport.h"

namespace {

struct ProcessorCounts {
  bool known = false;
  uint32_t logical = 0;
  uint32_t cores = 0;
  uint32_t packages = 0;
};

typedef BOOL(WINAPI* GetLogicalProcessorInformationProc)(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION, PDWORD);

void ReportTopology(const char* text) {
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "%s", text);
}

std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> ReadProcessorInformation() {
  auto query = reinterpret_cast<GetLogicalProcessorInformationProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "GetLogicalProcessorInformation")));
  if (query == nullptr) return {};
  DWORD bytes = 0;
  if (query(nullptr, &bytes)) {
    ReportTopology("Call to GetLogicalProcessorInformation() succeeded.");
    return {};
  }
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    ReportTopology("Could not get size of Logical Processor Information buffer.");
    return {};
  }
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> entries(bytes / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) + 1);
  bytes = DWORD(entries.size() * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  if (!query(entries.data(), &bytes)) {
    ReportTopology("GetLogicalProcessorInformation() failed.");
    return {};
  }
  entries.resize(bytes / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  return entries;
}

ProcessorCounts CountProcessors() {
  ProcessorCounts counts;
  for (const SYSTEM_LOGICAL_PROCESSOR_INFORMATION& entry : ReadProcessorInformation()) {
    switch (entry.Relationship) {
      case RelationProcessorCore:
        ++counts.cores;
        counts.logical += uint32_t(__builtin_popcountll(entry.ProcessorMask));
        break;
      case RelationNumaNode:
      case RelationCache:
        break;
      case RelationProcessorPackage:
        ++counts.packages;
        break;
      default:
        ErrorReport(__LINE__, DebugMessage)
            .Report(kStyleError, kTitleUnexpectedError, "Unsupported LOGICAL_PROCESSOR_RELATIONSHIP value %d.",
                    int(entry.Relationship));
        break;
    }
  }
  counts.known = counts.logical > 0 && counts.cores > 0;
  return counts;
}

uint32_t WorkerCountFromSystemInfo() {
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  uint32_t processors = info.dwNumberOfProcessors;
  return processors < 2 ? 1 : processors == 2 ? 2 : processors - 1;
}

// Waits for up to 64 handles at a time, the most one wait can take.
DWORD WaitForHandles(const std::vector<HANDLE>& handles, size_t first, bool alertable) {
  DWORD count = DWORD(std::min<size_t>(handles.size() - first, MAXIMUM_WAIT_OBJECTS));
  return WaitForMultipleObjectsEx(count, handles.data() + first, TRUE, INFINITE, alertable ? TRUE : FALSE);
}

}  // namespace

uint32_t WorkerCountFor(uint32_t logicalProcessors, uint32_t cores) {
  uint32_t extra = logicalProcessors > cores ? logicalProcessors - cores : 0;
  uint32_t workers = logicalProcessors - extra / 2;
  if (workers == logicalProcessors && logicalProcessors > 2) workers = logicalProcessors - 1;
  return workers < 1 ? 1 : workers;
}

namespace {
std::atomic<uint32_t> gWorkerCountOverride{0};
}

uint32_t GetWorkerCount() {
  uint32_t forced = gWorkerCountOverride.load(std::memory_order_relaxed);
  if (forced != 0) return forced;
  static ProcessorCounts counts = CountProcessors();
  return counts.known ? WorkerCountFor(counts.logical, counts.cores) : WorkerCountFromSystemInfo();
}

void OverrideWorkerCount(uint32_t workers) { gWorkerCountOverride.store(workers, std::memory_order_relaxed); }

bool SpawnMultipleThreads(ThreadBlock* blocks, int count) {
  for (int i = 0; i < count; ++i) {
    ThreadBlock& block = blocks[i];
    unsigned id = 0;
    errno = 0;
    uintptr_t thread = _beginthreadex(block.securityAttributes, block.stackSize, block.startRoutine, block.argument,
                                      block.creationFlags, &id);
    if (thread == 0) {
      char text[256] = "unknown error";
      strerror_s(text, sizeof text, errno);
      if (char* end = strpbrk(text, "\r\n")) *end = 0;
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "SpawnMultipleThreads() - Could not start thread %d : %s.", i, text);
      return false;
    }
    block.threadHandle = reinterpret_cast<HANDLE>(thread);
    block.threadId = id;
  }
  return true;
}

// Handles of workers that ended are closed here as they are cleared: nothing else holds them.
bool WaitForMultipleThreads(ThreadBlock* blocks, int count, bool alertable) {
  std::vector<HANDLE> handles;
  for (int i = 0; i < count; ++i) {
    if (blocks[i].threadHandle != nullptr) handles.push_back(blocks[i].threadHandle);
  }
  for (size_t first = 0; first < handles.size();) {
    DWORD waited = WaitForHandles(handles, first, alertable);
    if (waited == WAIT_IO_COMPLETION) {
      if (RunResult() != 0) return false;
      continue;
    }
    if (waited < WAIT_OBJECT_0 + MAXIMUM_WAIT_OBJECTS) {
      first += MAXIMUM_WAIT_OBJECTS;
      continue;
    }
    if (waited >= WAIT_ABANDONED_0 && waited < WAIT_ABANDONED_0 + MAXIMUM_WAIT_OBJECTS) {
      ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "WaitForMultipleThreads() - An object was abandoned.");
    } else if (waited == WAIT_TIMEOUT) {
      ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "WaitForMultipleThreads() - A wait timed out.");
    } else {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "WaitForMultipleThreads() - Waiting for events failed.");
    }
    return false;
  }
  for (int i = 0; i < count; ++i) {
    if (blocks[i].threadHandle != nullptr) CloseHandle(blocks[i].threadHandle);
    blocks[i].threadHandle = nullptr;
  }
  return true;
}

bool DestroyThread(ThreadBlock* block) {
  bool result = true;
  if (block->threadHandle != nullptr) {
    DWORD exitCode = 0;
    if (!GetExitCodeThread(block->threadHandle, &exitCode)) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "DestroyThread() - Failed to get thread exit status.");
      TerminateThread(block->threadHandle, kTerminatedThreadExitCode);
      result = false;
    } else if (exitCode == STILL_ACTIVE) {
      TerminateThread(block->threadHandle, kTerminatedThreadExitCode);
      WaitForSingleObject(block->threadHandle, INFINITE);
    }
    CloseHandle(block->threadHandle);
    block->threadHandle = nullptr;
  }
  free(block->argument);
  block->argument = nullptr;
  return result;
}
