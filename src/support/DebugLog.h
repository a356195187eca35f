// The debug log file: opening in a mode, rotation over ten runs, the logging thread of threaded
// mode, and closing with the closing line.
#pragma once
#include "support/LogQueue.h"

bool OpenDebugLog(LogMode mode);
void CloseDebugLog();
bool GetDebugLogFolder(wchar_t* pathOut);
