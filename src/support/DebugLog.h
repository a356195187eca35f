// The debug log file: opening in a mode, rotation over ten runs, the logging thread of threaded
// mode, and closing with the closing line.
#pragma once
#include "support/LogQueue.h"

bool OpenDebugLog(LogMode mode);
void CloseDebugLog();
#include <functional>

// Rotates the logs and answers the new log's path; false, with pathOut empty, when it failed.
bool GetDebugLogFolder(wchar_t* pathOut);
// Rotates and then runs `create` on the new log's path, both under the rotation's cross-process
// lock, so that no other process moves the new log before it exists.
bool CreateRotatedDebugLog(wchar_t* pathOut, const std::function<bool(const wchar_t* path)>& create);
