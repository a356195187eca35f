// The reference host's handle procedures with real semantics: a handle is a pointer to a master
// pointer, sizes are kept, locks are counted, and misuse is reported on the console.
#pragma once
#include <cstdio>
#include <set>

#include "PIFilter.h"

struct HandleStatistics {
  int created = 0;
  int disposed = 0;
  int locks = 0;
  int unlocks = 0;
  int misuse = 0;  // unknown handles, unbalanced unlocks
};

struct HandleFailures {
  int failNewAfter = -1;   // the next N creations succeed, then every one fails (-1: never)
  bool failLock = false;   // every lock yields null
};

HandleProcs* GetHostHandleProcs();
HandleStatistics& GetHandleStatistics();
HandleFailures& GetHandleFailures();
int LockCountOf(Handle handle);
bool IsLiveHandle(Handle handle);
int32 SizeOfHandle(Handle handle);
void SetHandleTrace(FILE* trace);
