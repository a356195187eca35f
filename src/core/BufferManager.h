// Growable, cache-line aligned working blocks and the process-wide statistics of their use.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct BufferDescriptor {
  void* block = nullptr;
  uint64_t size = 0;  // as last requested, not rounded; 0 without a block
};

struct BufferStatistics {
  uint64_t currentUsage = 0;
  uint64_t peakUsage = 0;
  uint64_t largestReallocationRequest = 0;
  uint64_t largestExpansionRequest = 0;
  uint64_t memoryMoves = 0;
  uint64_t largestMove = 0;
  uint64_t totalBytesMoved = 0;
};

void InitializeBufferManager();
void TerminateBufferManager();
size_t GetBufferAlignment();
uint64_t RoundedBufferSize(uint64_t size);

int16_t ReallocateBuffer(uint64_t size, BufferDescriptor* buffer);
int16_t ReallocateBufferPreserveContents(uint64_t size, BufferDescriptor* buffer);
void DeallocateBuffer(BufferDescriptor* buffer);
void ReportBufferUsage();
BufferStatistics GetBufferStatistics();

// How much more the working buffers may grow before large requests are refused.
uint64_t AffordableBufferGrowth();

std::string FormatByteCount(uint64_t value);  // 1,234,567

// Tests make the next N allocations fail, so that every caller's out-of-memory path is reached.
void FailNextBufferAllocations(int count);
// The same after letting the given number of allocations succeed.
void FailBufferAllocationsAfter(int allocations, int count);
// Tests shrink the working-memory limit (0 restores half of the machine's memory).
void OverrideWorkingMemoryLimit(uint64_t bytes);
// Tests start from zero statistics and a chosen alignment.
void ResetBufferStatistics(size_t alignment);
