// Handle procedures as a host offers them. Old plug-ins dereference a handle directly, so a
// handle is the address of a master pointer to the data, as in every real host.
#include "HostHandleSuite.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

struct HandleBlock {
  char* data;  // the master pointer: a Handle points here
  int32 size;
  int lockCount;
};

std::mutex gHandleMutex;
std::set<Handle> gLiveHandles;
HandleStatistics gStatistics;
HandleFailures gFailures;
FILE* gTrace = nullptr;

HandleBlock* BlockOf(Handle handle) { return reinterpret_cast<HandleBlock*>(handle); }

bool Known(Handle handle, const char* proc) {
  if (handle != nullptr && gLiveHandles.count(handle) != 0) return true;
  ++gStatistics.misuse;
  fprintf(stderr, "filterhost: %s called with an unknown handle %p\n", proc, static_cast<void*>(handle));
  return false;
}

Handle NewHandle(int32 size) {
  std::lock_guard<std::mutex> lock(gHandleMutex);
  if (gTrace) fprintf(gTrace, "trace: handleProcs->newProc(%d)\n", size);
  if (size < 0 || gFailures.failNewAfter == 0) return nullptr;
  if (gFailures.failNewAfter > 0) --gFailures.failNewAfter;
  auto* block = static_cast<HandleBlock*>(calloc(1, sizeof(HandleBlock)));
  if (block == nullptr) return nullptr;
  block->data = static_cast<char*>(calloc(1, size_t(size) + 1));
  block->size = size;
  Handle handle = &block->data;
  gLiveHandles.insert(handle);
  ++gStatistics.created;
  return handle;
}

void DisposeHandle(Handle handle) {
  std::lock_guard<std::mutex> lock(gHandleMutex);
  if (gTrace) fprintf(gTrace, "trace: handleProcs->disposeProc(%p)\n", static_cast<void*>(handle));
  if (handle == nullptr || !Known(handle, "disposeProc")) return;
  gLiveHandles.erase(handle);
  free(BlockOf(handle)->data);
  free(BlockOf(handle));
  ++gStatistics.disposed;
}

int32 GetSize(Handle handle) {
  std::lock_guard<std::mutex> lock(gHandleMutex);
  return Known(handle, "getSizeProc") ? BlockOf(handle)->size : 0;
}

OSErr SetSize(Handle handle, int32 size) {
  std::lock_guard<std::mutex> lock(gHandleMutex);
  if (!Known(handle, "setSizeProc")) return nilHandleErr;
  if (size < 0) return paramErr;
  HandleBlock* block = BlockOf(handle);
  if (block->lockCount > 0) return memFullErr;  // a locked handle cannot move
  char* data = static_cast<char*>(realloc(block->data, size_t(size) + 1));
  if (data == nullptr) return memFullErr;
  if (size > block->size) memset(data + block->size, 0, size_t(size - block->size));
  block->data = data;
  block->size = size;
  return noErr;
}

Ptr LockHandle(Handle handle, Boolean /*moveHigh*/) {
  std::lock_guard<std::mutex> lock(gHandleMutex);
  if (gTrace) fprintf(gTrace, "trace: handleProcs->lockProc(%p)\n", static_cast<void*>(handle));
  if (!Known(handle, "lockProc") || gFailures.failLock) return nullptr;
  ++BlockOf(handle)->lockCount;
  ++gStatistics.locks;
  return BlockOf(handle)->data;
}

void UnlockHandle(Handle handle) {
  std::lock_guard<std::mutex> lock(gHandleMutex);
  if (gTrace) fprintf(gTrace, "trace: handleProcs->unlockProc(%p)\n", static_cast<void*>(handle));
  if (!Known(handle, "unlockProc")) return;
  if (BlockOf(handle)->lockCount == 0) {
    ++gStatistics.misuse;
    fprintf(stderr, "filterhost: unlockProc called on a handle that is not locked\n");
    return;
  }
  --BlockOf(handle)->lockCount;
  ++gStatistics.unlocks;
}

void RecoverSpace(int32) {}

HandleProcs gHandleProcs = {1, 8, NewHandle, DisposeHandle, GetSize, SetSize, LockHandle, UnlockHandle, RecoverSpace,
                            DisposeHandle};

}  // namespace

HandleProcs* GetHostHandleProcs() { return &gHandleProcs; }
HandleStatistics& GetHandleStatistics() { return gStatistics; }
HandleFailures& GetHandleFailures() { return gFailures; }
void SetHandleTrace(FILE* trace) { gTrace = trace; }

int LockCountOf(Handle handle) {
  std::lock_guard<std::mutex> lock(gHandleMutex);
  return gLiveHandles.count(handle) != 0 ? BlockOf(handle)->lockCount : -1;
}

bool IsLiveHandle(Handle handle) {
  std::lock_guard<std::mutex> lock(gHandleMutex);
  return gLiveHandles.count(handle) != 0;
}

int32 SizeOfHandle(Handle handle) {
  std::lock_guard<std::mutex> lock(gHandleMutex);
  return gLiveHandles.count(handle) != 0 ? BlockOf(handle)->size : -1;
}
