// One clock for the whole host process, so that events on the host's thread and on the driving
// thread can be put on one time line (`--time`).
#pragma once

// Seconds since the host process started its clock (the first call).
double HostSeconds();
// With `--time`, marks print as "time: EVENT at S s".
void SetHostTimeMarks(bool enabled);
void MarkHostTime(const char* event);
