#include "effects/RenderBufferPool.h"

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

void ReturnRenderBuffer(BufferDescriptor* buffer) {
  {
    ScopedExclusiveLock lock(gPool.lock);
    if (buffer->block != nullptr && gPool.count < kPooledBuffers) {
      gPool.buffers[gPool.count++] = *buffer;
      *buffer = BufferDescriptor{};
    }
  }
  DeallocateBuffer(buffer);
}

void ReleaseRenderBuffers() {
  ScopedExclusiveLock lock(gPool.lock);
  while (gPool.count > 0) DeallocateBuffer(&gPool.buffers[--gPool.count]);
}

uint64_t PooledRenderBytes() {
  ScopedExclusiveLock lock(gPool.lock);
  uint64_t bytes = 0;
  for (int i = 0; i < gPool.count; ++i) bytes += gPool.buffers[i].size;
  return bytes;
}
