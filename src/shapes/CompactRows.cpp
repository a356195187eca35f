// Row chains of compact entries and the pool of slabs their chunks are cut from. A slab's header
// holds its own descriptor, so that slabs chain through themselves in a SubShape and in the pool.
#include "shapes/CompactRows.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "support/Locks.h"

struct EntrySlab {
  BufferDescriptor buffer;  // this slab's own block
  EntrySlab* next;
  uint8_t header[64 - sizeof(BufferDescriptor) - sizeof(EntrySlab*)];
};
static_assert(sizeof(EntrySlab) == 64, "a slab's chunks start a cache line in");

namespace {

constexpr uint64_t kSlabBytes = uint64_t(1) << 20;
constexpr uint64_t kChunksPerSlab = (kSlabBytes - sizeof(EntrySlab)) / sizeof(EntryChunk);

struct SlabPool {
  SRWLOCK lock = SRWLOCK_INIT;
  EntrySlab* free = nullptr;
  uint64_t count = 0;
};
SlabPool gSlabPool;

EntrySlab* TakeSlab() {
  {
    ScopedExclusiveLock lock(gSlabPool.lock);
    if (EntrySlab* slab = gSlabPool.free) {
      gSlabPool.free = slab->next;
      --gSlabPool.count;
      return slab;
    }
  }
  BufferDescriptor buffer;
  if (ReallocateBuffer(kSlabBytes, &buffer) != 0) return nullptr;
  auto* slab = static_cast<EntrySlab*>(buffer.block);
  slab->buffer = buffer;
  return slab;
}

EntryChunk* FirstChunkOf(EntrySlab* slab) { return reinterpret_cast<EntryChunk*>(slab + 1); }

}  // namespace

bool StartCompactRows(CompactRows* rows, int64_t top, int64_t bottom, const float* colours) {
  ReleaseCompactRows(rows);
  uint64_t count = uint64_t(bottom > top ? bottom - top : 0);
  if (ReallocateBuffer(std::max<uint64_t>(count, 1) * sizeof(EntryChain), &rows->chains) != 0) return false;
  memset(rows->chains.block, 0, size_t(count * sizeof(EntryChain)));
  rows->top = top;
  rows->bottom = bottom;
  rows->colours = colours;
  return true;
}

void ReleaseCompactRows(CompactRows* rows) {
  if (rows->slabs != nullptr) {
    EntrySlab* last = rows->slabs;
    uint64_t count = 1;
    while (last->next != nullptr) last = last->next, ++count;
    ScopedExclusiveLock lock(gSlabPool.lock);
    last->next = gSlabPool.free;
    gSlabPool.free = rows->slabs;
    gSlabPool.count += count;
  }
  DeallocateBuffer(&rows->chains);
  *rows = CompactRows{};
}

EntryChunk* AddEntryChunk(CompactRows* rows, EntryChain* chain) {
  if (rows->nextChunk == rows->slabEnd) {
    EntrySlab* slab = TakeSlab();
    if (slab == nullptr) return nullptr;
    slab->next = rows->slabs;
    rows->slabs = slab;
    rows->nextChunk = FirstChunkOf(slab);
    rows->slabEnd = rows->nextChunk + kChunksPerSlab;
  }
  EntryChunk* chunk = rows->nextChunk++;
  chunk->next = nullptr;
  chunk->count = 0;
  if (chain->last != nullptr) {
    chain->last->next = chunk;
  } else {
    chain->first = chunk;
  }
  chain->last = chunk;
  return chunk;
}

uint64_t CompactRowBytes(const CompactRows& rows) {
  uint64_t bytes = rows.chains.size;
  for (const EntrySlab* slab = rows.slabs; slab != nullptr; slab = slab->next) bytes += slab->buffer.size;
  return bytes;
}

void ReleasePooledEntrySlabs() {
  EntrySlab* slabs;
  {
    ScopedExclusiveLock lock(gSlabPool.lock);
    slabs = gSlabPool.free;
    gSlabPool.free = nullptr;
    gSlabPool.count = 0;
  }
  while (slabs != nullptr) {
    BufferDescriptor buffer = slabs->buffer;
    slabs = slabs->next;
    DeallocateBuffer(&buffer);
  }
}

uint64_t PooledEntrySlabBytes() {
  ScopedExclusiveLock lock(gSlabPool.lock);
  return gSlabPool.count * kSlabBytes;
}
