// Failures that tests provoke where the system cannot be made to fail on demand (a thread that
// will not start, a disk write refused at once, memory short at one exact step). A test arms a
// point; the code at that point then fails as the system would, once per arming.
#pragma once

enum FaultPoint {
  FAULT_ANALYSIS_THREAD_START,
  FAULT_FLOOD_FILL_MUTEX,
  FAULT_LOG_WRITE,
  FAULT_PARAMETER_CONVERSION_MEMORY,
  FAULT_COM_INITIALIZE,
  FAULT_EFFECT_QUAD_MEMORY,
  FAULT_POINT_COUNT
};

// The next `times` passes through the point fail.
void ArmFault(FaultPoint point, int times = 1);
void DisarmFaults();
// True when the point is armed, which uses up one arming; the call sites fail as the system would.
bool FaultInjected(FaultPoint point);
