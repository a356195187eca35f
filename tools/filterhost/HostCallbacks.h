// The host's process-wide callbacks: progress, abort, advanceState, the property and error
// suites and SPBasic. What they observed is kept for tests and printed when tracing.
#pragma once
#include <cstdio>
#include <string>

#include "PISuites.h"

struct HostObservations {
  int acquisitions = 0;
  int releases = 0;
  int watchSetCalls = 0;
  intptr_t watchValue = 0;
  int progressCalls = 0;
  int lastPercent = -1;
  int abortCalls = 0;
  bool abortAnswered = false;
  std::string errorSuiteText;
};

struct HostCallbackSettings {
  FILE* trace = nullptr;       // non-null: print every call
  FILE* progress = nullptr;    // non-null: show progress on the console
  int cancelAtPercent = -1;
  bool offerBasicSuite = true;
  bool offerPropertyProcs = true;  // false: version 0 and count 0, as some hosts report them
};

HostObservations& GetHostObservations();
HostCallbackSettings& GetHostCallbackSettings();
void ResetHostObservations();

TestAbortProc HostAbortProc();
ProgressProc HostProgressProc();
PropertyProcs HostPropertyProcs();
SPBasicSuite* HostBasicSuite();
