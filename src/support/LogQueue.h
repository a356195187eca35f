// The in-memory queue of debug log lines and its modes: lines wait here until the log file is
// open, and are written at once (immediate mode) or by the logging thread (threaded mode).
#pragma once
#include <windows.h>

#include <cstdint>

enum LogMode : uint32_t { LogModeNone = 0, LogModeImmediate = 1, LogModeThreaded = 2, LogModeDiscard = 3 };

struct LogEntry {
  LogEntry* next;
  uint32_t byteCount;  // text length in bytes, terminator excluded
  int32_t level;
  wchar_t text[1];
};

bool InitializeLogQueue(const char* programName);
void WriteLogLine(int32_t level, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
void LogEntryEvent(LogEntry* entry);

// Shared with the log file's opening, closing and the logging thread.
struct LogState {
  CRITICAL_SECTION queueSection;  // LogQueueSection
  bool sectionCreated = false;
  bool queueOpen = false;
  LogMode mode = LogModeNone;
  HANDLE file = INVALID_HANDLE_VALUE;
  bool installerHeader = false;
  LogEntry* head = nullptr;
  LogEntry* tail = nullptr;
  uint32_t count = 0;
  HANDLE startEvent = nullptr;  // cached from the logging thread's argument block
};
extern LogState gLog;

LogEntry* NewLogEntry(const char* line, bool appendLineFeed);
LogEntry* PopLogEntry();                // caller holds LogQueueSection
void AppendLogEntry(LogEntry* entry);   // caller holds LogQueueSection
void WriteQueuedEntriesNow();           // caller holds LogQueueSection; immediate mode
void DropQueuedEntries();               // caller holds LogQueueSection
void QueueClosingLine();                // caller holds LogQueueSection; marks the queue closed
void SetLogInstallerHeader(bool installer);
