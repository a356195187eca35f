#include "effects/RenderBufferPool.h"

#include <algorithm>
#include <utility>

#include "core/WorkerThreads.h"
#include "shapes/CompactRows.h"
#include "support/Locks.h"

namespace {

constexpr int kPooledBuffers = 64;

struct RenderBufferPool {
  SRWLOCK lock = SRWLOCK_INIT;
  BufferDescriptor buffers[kPooledBuffers];
  int count = 0;
};
RenderBufferPool gPool;

}  // namespace

BufferDescriptor TakeRenderBuffer(uint64_t bytes) {
  ScopedExclusiveLock lock(gPool.lock);
  int chosen = -1;
  for (int i = 0; i < gPool.count; ++i) {
    uint64_t size = gPool.buffers[i].size;
    if (chosen < 0) {
      chosen = i;
      continue;
    }
    uint64_t best = gPool.buffers[chosen].size;
    bool fits = size >= bytes, bestFits = best >= bytes;
    if ((fits && (!bestFits || size < best)) || (!fits && !bestFits && size > best)) chosen = i;
  }
  if (chosen < 0) return BufferDescriptor{};
  BufferDescriptor taken = gPool.buffers[chosen];
  gPool.buffers[chosen] = gPool.buffers[--gPool.count];
  return taken;
}

// Each worker has at most a block it draws into and one it orders into, so the pool keeps two a
// worker: more would only be held, never taken. When full, the smallest block goes.
void ReturnRenderBuffer(BufferDescriptor* buffer) {
  BufferDescriptor dropped = *buffer;
  *buffer = BufferDescriptor{};
  if (dropped.block != nullptr) {
    ScopedExclusiveLock lock(gPool.lock);
    int limit = int(std::min<uint32_t>(kPooledBuffers, 2 * std::max<uint32_t>(1, GetWorkerCount())));
    if (gPool.count < limit) {
      gPool.buffers[gPool.count++] = dropped;
      dropped = BufferDescriptor{};
    } else {
      int smallest = 0;
      for (int i = 1; i < gPool.count; ++i) {
        if (gPool.buffers[i].size < gPool.buffers[smallest].size) smallest = i;
      }
      if (gPool.buffers[smallest].size < dropped.size) std::swap(gPool.buffers[smallest], dropped);
    }
  }
  DeallocateBuffer(&dropped);
}

void ReleaseRenderBuffers() {
  {
    ScopedExclusiveLock lock(gPool.lock);
    while (gPool.count > 0) DeallocateBuffer(&gPool.buffers[--gPool.count]);
  }
  ReleasePooledEntrySlabs();
}

uint64_t PooledRenderBytes() {
  ScopedExclusiveLock lock(gPool.lock);
  uint64_t bytes = 0;
  for (int i = 0; i < gPool.count; ++i) bytes += gPool.buffers[i].size;
  return bytes + PooledEntrySlabBytes();
}
