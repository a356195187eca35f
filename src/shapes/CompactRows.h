// The final render's form of a SubShape: eight bytes an entry, each appended as it is drawn to
// a chain of small chunks for its row, so that painters read a row's entries without ordering.
#pragma once
#include <cstdint>

#include "core/BufferManager.h"

// The row is implied by the chain; the colour is an index into the shape's colour table.
struct CompactEntry {
  int16_t dx;
  uint16_t colour;
  float weight;  // the entry's weight as a fraction of one
};
static_assert(sizeof(CompactEntry) == 8, "compact entries take eight bytes");

// A kilobyte: small enough that the partly filled chunk at the end of every row wastes little,
// large enough that following the chain costs little beside the entries. A spike's entries of a
// row come in runs of neighbouring columns, so a chunk's columns are few, and a painter whose
// light leaves most of the shape's columns off the image passes over whole chunks.
constexpr uint32_t kChunkEntries = 126;
struct EntryChunk {
  EntryChunk* next;
  uint32_t count;
  int16_t left, right;  // the columns of the entries, right inclusive
  CompactEntry entries[kChunkEntries];
};
static_assert(sizeof(EntryChunk) == 1024, "chunks of a kilobyte");

struct EntryChain {
  EntryChunk* first;
  EntryChunk* last;
};

struct EntrySlab;

// Chunks are cut from slabs of a megabyte, taken from a pool that the final render's phases hand
// on to each other (fresh memory costs a cleared page for every 4 KB touched).
struct CompactRows {
  int64_t top, bottom;      // the rows the chains cover, as offsets; bottom exclusive
  BufferDescriptor chains;  // an EntryChain per row
  EntrySlab* slabs;         // the newest first
  EntryChunk* nextChunk;    // the free chunks of the newest slab
  EntryChunk* slabEnd;
  const float* colours;  // four floats a colour index: red, green and blue as fractions of one
  const EntryChain& Chain(int64_t dy) const { return static_cast<const EntryChain*>(chains.block)[dy - top]; }
};

// Empty chains for the rows [top, bottom) with the colour table; false without memory.
bool StartCompactRows(CompactRows* rows, int64_t top, int64_t bottom, const float* colours);
// Gives the slabs back to the pool and frees the chains.
void ReleaseCompactRows(CompactRows* rows);
// A new chunk at the end of the row's chain; null without memory.
EntryChunk* AddEntryChunk(CompactRows* rows, EntryChain* chain);
// Appends an entry to the chain of row dy, which must lie within the rows; false without memory.
inline bool AddCompactEntry(CompactRows* rows, int64_t dy, const CompactEntry& entry) {
  EntryChain* chain = static_cast<EntryChain*>(rows->chains.block) + (dy - rows->top);
  EntryChunk* chunk = chain->last;
  if (chunk == nullptr || chunk->count == kChunkEntries) {
    chunk = AddEntryChunk(rows, chain);
    if (chunk == nullptr) return false;
  }
  if (chunk->count == 0 || entry.dx < chunk->left) chunk->left = entry.dx;
  if (chunk->count == 0 || entry.dx > chunk->right) chunk->right = entry.dx;
  chunk->entries[chunk->count++] = entry;
  return true;
}
// The bytes the rows hold: their slabs and chains.
uint64_t CompactRowBytes(const CompactRows& rows);

// Frees every pooled slab; the final render does so when it ends.
void ReleasePooledEntrySlabs();
uint64_t PooledEntrySlabBytes();
