// The debug log queue: entries, the header and closing line, and the per-mode handling of each
// new line. LogQueueSection guards the list; the logging thread takes one entry at a time.
#include "support/LogQueue.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "support/ErrorReport.h"
#include "support/Locks.h"
#include "support/ModuleInstance.h"

LogState gLog;

namespace {

constexpr size_t kStackLineSize = 2048;

void FormatNow(const char* pattern, char* buffer, size_t size) {
  time_t now = time(nullptr);
  tm local{};
  localtime_s(&local, &now);
  strftime(buffer, size, pattern, &local);
}

void InsertAtHead(LogEntry* entry) {
  entry->next = gLog.head;
  gLog.head = entry;
  if (gLog.tail == nullptr) gLog.tail = entry;
  ++gLog.count;
}

LogEntry* NewByteOrderMark() {
  auto* entry = static_cast<LogEntry*>(malloc(sizeof(LogEntry)));
  if (entry == nullptr) return nullptr;
  entry->next = nullptr;
  entry->byteCount = 2;
  entry->level = 2;
  entry->text[0] = 0xFEFF;
  return entry;
}

void QueueHeader(const char* programName) {
  uint16_t version[4] = {};
  GetFixedFileVersion(version);
  char opened[128];
  FormatNow("on %A, %b %d %Y at %H:%M:%S", opened, sizeof opened);
  char build[96];
  snprintf(build, sizeof build, "%s (built %s)", "Release", __DATE__ " at " __TIME__);
  char header[4096];
  snprintf(header, sizeof header,
           gLog.installerHeader ? "%s version %u.%u.%u.%u %s %s Installation Log opened %s.\n\n\n"
                                : "%s version %u.%u.%u.%u %s %s Log opened %s.\n\n\n",
           programName, version[0], version[1], version[2], version[3], "64 bit", build, opened);
  if (LogEntry* entry = NewLogEntry(header, false)) InsertAtHead(entry);
  if (LogEntry* mark = NewByteOrderMark()) InsertAtHead(mark);
}

void WriteEntry(const LogEntry* entry) {
  DWORD written = 0;
  if (gLog.file != INVALID_HANDLE_VALUE) WriteFile(gLog.file, entry->text, entry->byteCount, &written, nullptr);
}

}  // namespace

void SetLogInstallerHeader(bool installer) { gLog.installerHeader = installer; }

// A conversion that fails drops the line: reporting must never fail its caller.
LogEntry* NewLogEntry(const char* line, bool appendLineFeed) {
  int chars = MultiByteToWideChar(CP_THREAD_ACP, 0, line, -1, nullptr, 0);
  if (chars <= 0) return nullptr;
  size_t size = offsetof(LogEntry, text) + sizeof(wchar_t) * (size_t(chars) + 1);
  auto* entry = static_cast<LogEntry*>(malloc(size));
  if (entry == nullptr) return nullptr;
  MultiByteToWideChar(CP_THREAD_ACP, 0, line, -1, entry->text, chars);
  size_t length = size_t(chars) - 1;
  if (appendLineFeed && (length == 0 || entry->text[length - 1] != L'\n')) {
    entry->text[length++] = L'\n';
    entry->text[length] = 0;
  }
  entry->next = nullptr;
  entry->byteCount = uint32_t(length * sizeof(wchar_t));
  entry->level = 2;
  return entry;
}

void WriteLogLine(int32_t level, const char* format, ...) {
  char stackLine[kStackLineSize];
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  int length = vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  char* line = stackLine;
  if (length >= 0 && size_t(length) >= kStackLineSize) line = static_cast<char*>(malloc(size_t(length) + 1));
  if (length < 0 || line == nullptr) {
    va_end(args);
    return;
  }
  vsnprintf(line, size_t(length) + 1, format, args);
  va_end(args);
  LogEntry* entry = NewLogEntry(line, true);
  if (line != stackLine) free(line);
  if (entry == nullptr) return;
  entry->level = level;
  LogEntryEvent(entry);
}

void AppendLogEntry(LogEntry* entry) {
  entry->next = nullptr;
  if (gLog.tail != nullptr) gLog.tail->next = entry;
  else gLog.head = entry;
  gLog.tail = entry;
  ++gLog.count;
}

LogEntry* PopLogEntry() {
  LogEntry* entry = gLog.head;
  if (entry == nullptr) return nullptr;
  gLog.head = entry->next;
  if (gLog.head == nullptr) gLog.tail = nullptr;
  --gLog.count;
  entry->next = nullptr;
  return entry;
}

void WriteQueuedEntriesNow() {
  while (LogEntry* entry = PopLogEntry()) {
    WriteEntry(entry);
    free(entry);
  }
  if (gLog.file != INVALID_HANDLE_VALUE) FlushFileBuffers(gLog.file);
}

void DropQueuedEntries() {
  while (LogEntry* entry = PopLogEntry()) free(entry);
}

void QueueClosingLine() {
  gLog.queueOpen = false;
  char closed[128];
  FormatNow("on %A, %B %d, %Y at %H:%M:%S", closed, sizeof closed);
  char line[192];
  snprintf(line, sizeof line, "\nLog closed %s.\n", closed);
  if (LogEntry* entry = NewLogEntry(line, false)) AppendLogEntry(entry);
}

void LogEntryEvent(LogEntry* entry) {
  if (entry == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError,
                                               "LogEntryEvent() called with invalid argument.");
    return;
  }
  if (gLog.queueOpen) {
    ScopedCriticalSection lock(gLog.queueSection);
    AppendLogEntry(entry);
    switch (gLog.mode) {
      case LogModeImmediate: WriteQueuedEntriesNow(); break;
      case LogModeThreaded:
        // The thread may be idle only when the queue was empty; otherwise it signals itself.
        if (gLog.count == 1 && gLog.startEvent != nullptr) SetEvent(gLog.startEvent);
        break;
      case LogModeDiscard: DropQueuedEntries(); break;
      default: break;
    }
    return;
  }
  // A closed queue: whatever is still queued is flushed (or dropped), and the new line goes too.
  if (gLog.sectionCreated && (gLog.mode == LogModeImmediate || gLog.mode == LogModeDiscard)) {
    ScopedCriticalSection lock(gLog.queueSection);
    if (gLog.mode == LogModeImmediate) WriteQueuedEntriesNow();
    else DropQueuedEntries();
  }
  free(entry);
}

bool InitializeLogQueue(const char* programName) {
  if (gLog.queueOpen) return true;
  if (!CreateCriticalSection(&gLog.queueSection)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not create 'LogQueueSection' critical section.");
    return false;
  }
  gLog.sectionCreated = true;
  ScopedCriticalSection lock(gLog.queueSection);
  QueueHeader(programName);
  gLog.queueOpen = true;
  return true;
}
