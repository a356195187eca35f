// The small thread API of the heavy passes: one thread block per worker, spawned together,
// waited for together (alertably, so progress APCs run meanwhile) and destroyed one by one.
#pragma once
#include <windows.h>

#include <cstdint>

typedef unsigned(__stdcall* ThreadStartRoutine)(void* argument);

struct ThreadBlock {
  SECURITY_ATTRIBUTES* securityAttributes;
  uint32_t stackSize;
  ThreadStartRoutine startRoutine;
  void* argument;  // the worker's TaskArguments, allocated with malloc; freed by DestroyThread
  uint32_t creationFlags;
  uint32_t threadId;
  HANDLE threadHandle;
  int index;
};

constexpr DWORD kTerminatedThreadExitCode = 0xC000013A;

uint32_t GetWorkerCount();
// Benchmarks compare one worker with all of them; 0 returns to the machine's own count.
void OverrideWorkerCount(uint32_t workers);
// The rule behind GetWorkerCount: hyper-threads count half, and one processor stays free.
uint32_t WorkerCountFor(uint32_t logicalProcessors, uint32_t cores);

bool SpawnMultipleThreads(ThreadBlock* blocks, int count);
bool WaitForMultipleThreads(ThreadBlock* blocks, int count, bool alertable);
bool DestroyThread(ThreadBlock* block);
