// Opens and closes the debug log file and runs the logging thread of threaded mode. The thread
// keeps exactly one overlapped write in flight, so the file's order is the queue's order.
#include "support/DebugLog.h"

#include <process.h>

#include <cstdlib>

#include "support/DataFolders.h"
#include "support/ErrorReport.h"
#include "support/FaultInjection.h"
#include "support/Locks.h"

namespace {

constexpr DWORD kForcedExitCode = 0xC000013A;
constexpr DWORD kLoggingThreadWaitMs = 10000;

struct LoggingThreadArguments {
  HANDLE terminationEvent;
  HANDLE startEvent;
  HANDLE file;
};

struct LoggingThread {
  bool running = false;
  HANDLE handle = nullptr;
  LoggingThreadArguments* arguments = nullptr;
};
LoggingThread gThread;

void ReportLogFailure(const char* text) {
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "%s", text);
}

// One overlapped write; the entry stays owned by the thread until its completion is collected.
struct PendingWrite {
  OVERLAPPED overlapped{};
  LogEntry* entry = nullptr;
};

bool WriteRefusedAtOnce(HANDLE file, const LogEntry& entry, OVERLAPPED* overlapped) {
  if (FaultInjected(FAULT_LOG_WRITE)) return true;
  return !WriteFile(file, entry.text, entry.byteCount, nullptr, overlapped) && GetLastError() != ERROR_IO_PENDING;
}

// A write refused at once completes nothing and signals nothing, so the next line is tried
// straight away: the queue keeps draining, and closing never waits out its time limit for lines
// that no event would ever start.
void StartNextWrite(HANDLE file, PendingWrite* pending, bool stopRequested, bool* leave) {
  while (pending->entry == nullptr) {
    LogEntry* entry = nullptr;
    {
      ScopedCriticalSection lock(gLog.queueSection);
      if (gLog.count > 0) entry = PopLogEntry();
    }
    if (entry == nullptr) {
      FlushFileBuffers(file);
      *leave = stopRequested;
      return;
    }
    pending->entry = entry;
    if (WriteRefusedAtOnce(file, *entry, &pending->overlapped)) {
      free(entry);  // the offset did not advance: the next line takes its place
      pending->entry = nullptr;
      ResetEvent(pending->overlapped.hEvent);
    }
  }
  *leave = false;
}

void CompleteWrite(HANDLE file, PendingWrite* pending, HANDLE startEvent) {
  if (pending->entry != nullptr) {
    DWORD written = 0;
    if (GetOverlappedResult(file, &pending->overlapped, &written, TRUE)) {
      ULONGLONG offset = (ULONGLONG(pending->overlapped.OffsetHigh) << 32) | pending->overlapped.Offset;
      offset += written;
      pending->overlapped.Offset = DWORD(offset);
      pending->overlapped.OffsetHigh = DWORD(offset >> 32);
    }
    free(pending->entry);
    pending->entry = nullptr;
  }
  SetEvent(startEvent);
  ResetEvent(pending->overlapped.hEvent);
}

unsigned __stdcall LoggingThreadProc(void* argument) noexcept {
  auto* arguments = static_cast<LoggingThreadArguments*>(argument);
  PendingWrite pending;
  pending.overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (pending.overlapped.hEvent == nullptr) {
    // Nothing can be written without it; the report joins the queued lines, which stay unwritten.
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "LoggingThreadProc() - Could not create the write completion event.");
    return 1;
  }
  HANDLE waits[3] = {arguments->terminationEvent, pending.overlapped.hEvent, arguments->startEvent};
  bool stopRequested = false;
  bool leave = false;
  unsigned exitCode = 0;
  try {
    while (!leave) {
      DWORD signalled = WaitForMultipleObjectsEx(3, waits, FALSE, INFINITE, TRUE);
      if (signalled == WAIT_OBJECT_0) {
        ResetEvent(arguments->terminationEvent);
        stopRequested = true;
        SetEvent(arguments->startEvent);  // drain whatever is left, then leave on an empty queue
      } else if (signalled == WAIT_OBJECT_0 + 1) {
        CompleteWrite(arguments->file, &pending, arguments->startEvent);
      } else if (signalled == WAIT_OBJECT_0 + 2) {
        StartNextWrite(arguments->file, &pending, stopRequested, &leave);
      } else if (signalled != WAIT_IO_COMPLETION) {
        break;
      }
    }
  } catch (...) {
    ReportLogFailure("LoggingThreadProc() - Unexpected exception.");
    exitCode = 1;
  }
  if (pending.entry != nullptr) {
    CancelIoEx(arguments->file, &pending.overlapped);  // the write's buffer is freed below
    DWORD written = 0;
    GetOverlappedResult(arguments->file, &pending.overlapped, &written, TRUE);
    free(pending.entry);
  }
  CloseHandle(pending.overlapped.hEvent);
  return exitCode;
}

void CloseThreadEvents(LoggingThreadArguments* arguments) {
  if (arguments->terminationEvent != nullptr) CloseHandle(arguments->terminationEvent);
  if (arguments->startEvent != nullptr) CloseHandle(arguments->startEvent);
  arguments->terminationEvent = arguments->startEvent = nullptr;
}

bool StartLoggingThread() {
  if (gThread.running) return true;
  if (gLog.file == INVALID_HANDLE_VALUE) return false;
  LoggingThreadArguments events{nullptr, nullptr, gLog.file};
  events.startEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (events.startEvent == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "Could not create I/O Start event.");
    return false;
  }
  events.terminationEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (events.terminationEvent == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not create logging termination event.");
    CloseThreadEvents(&events);
    return false;
  }
  auto* arguments = static_cast<LoggingThreadArguments*>(malloc(sizeof(LoggingThreadArguments)));
  if (arguments == nullptr) {
    ErrorReport(__LINE__, SystemError, ERROR_NOT_ENOUGH_MEMORY)
        .Report(kStyleError, kTitleUnexpectedError, "Could not create a Logging Thread argument block.");
    CloseThreadEvents(&events);
    return false;
  }
  *arguments = events;
  {
    ScopedCriticalSection lock(gLog.queueSection);
    gLog.startEvent = arguments->startEvent;
  }
  uintptr_t thread = _beginthreadex(nullptr, 0, LoggingThreadProc, arguments, 0, nullptr);
  if (thread == 0) {
    ReportLogFailure("Could not spawn the logging thread.");
    {
      ScopedCriticalSection lock(gLog.queueSection);
      gLog.startEvent = nullptr;
    }
    CloseThreadEvents(arguments);
    free(arguments);
    return false;
  }
  gThread = {true, reinterpret_cast<HANDLE>(thread), arguments};
  SetEvent(arguments->startEvent);  // lines queued before the file existed go out at once
  return true;
}

void WaitForLoggingThreadEnd() {
  for (;;) {
    DWORD waited = WaitForSingleObject(gThread.handle, kLoggingThreadWaitMs);
    if (waited == WAIT_OBJECT_0) {
      DWORD exitCode = 0;
      if (GetExitCodeThread(gThread.handle, &exitCode) && exitCode == kForcedExitCode) {
        ReportLogFailure("Timeout occurred while waiting for Logging thread to terminate");
      }
      return;
    }
    if (waited == WAIT_ABANDONED) {
      ReportLogFailure("Unexpected wait event WAIT_ABANDONED returned while waiting for logging thread termination.");
      return;
    }
    if (waited != WAIT_TIMEOUT) {
      ReportLogFailure("Error while waiting for logging thread termination.");
      return;
    }
    TerminateThread(gThread.handle, kForcedExitCode);
    ReportLogFailure("Timeout occurred while waiting for Logging thread to terminate");
  }
}

void StopLoggingThread() {
  if (gLog.queueOpen) {
    ScopedCriticalSection lock(gLog.queueSection);
    QueueClosingLine();
  }
  if (gThread.handle == nullptr) return;
  DWORD exitCode = 0;
  if (!GetExitCodeThread(gThread.handle, &exitCode)) {
    ReportLogFailure("Failed to get logging thread exit status.");
  } else if (exitCode == STILL_ACTIVE) {
    SetEvent(gThread.arguments->terminationEvent);
    SetEvent(gThread.arguments->startEvent);
    WaitForLoggingThreadEnd();
  } else {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Logging thread terminated prematurely with exit status %0lX",
                static_cast<unsigned long>(exitCode));
  }
  {
    ScopedCriticalSection lock(gLog.queueSection);
    gLog.startEvent = nullptr;
  }
  CloseThreadEvents(gThread.arguments);
  free(gThread.arguments);
  CloseHandle(gThread.handle);
  gThread = {};
}

HANDLE CreateLogFile(const wchar_t* path, DWORD flags) {
  return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

bool OpenLogFile(const char* fileSystemMessage, DWORD flags) {
  if (!IsFileSystemInitialized()) {
    ReportLogFailure(fileSystemMessage);
    return false;
  }
  wchar_t path[kMaxDataPath];
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD createError = 0;
  bool rotated = CreateRotatedDebugLog(path, [&](const wchar_t* newLog) {
    file = CreateLogFile(newLog, flags);
    createError = GetLastError();
    return true;
  });
  if (!rotated) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Can't allocate a debug log file for '%s'", "HalvornPro3");
    return false;
  }
  if (file == INVALID_HANDLE_VALUE) {
    char narrow[kMaxDataPath];
    WideCharToMultiByte(CP_THREAD_ACP, 0, path, -1, narrow, sizeof narrow, nullptr, nullptr);
    ErrorReport(__LINE__, SystemError, createError)
        .Report(kStyleError, kTitleUnexpectedError, "Can't open debug log file '%s'", narrow);
    return false;
  }
  gLog.file = file;
  return true;
}

}  // namespace

bool OpenDebugLog(LogMode mode) {
  if (gLog.file != INVALID_HANDLE_VALUE) return true;
  switch (mode) {
    case LogModeImmediate:
      if (OpenLogFile("File system not initialized - Immediate mode logging requires the file system.", 0)) {
        ScopedCriticalSection lock(gLog.queueSection);
        gLog.mode = LogModeImmediate;
        WriteQueuedEntriesNow();
      }
      break;
    case LogModeThreaded:
      if (OpenLogFile("File system not initialized - Threaded mode logging requires the file system.",
                      FILE_FLAG_OVERLAPPED)) {
        gLog.mode = LogModeThreaded;
        if (!StartLoggingThread()) {
          ReportLogFailure("Can't start thread required for threaded logging mode.");
          CloseDebugLog();
        }
      }
      break;
    case LogModeDiscard:
      gLog.mode = LogModeDiscard;
      break;
    default:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "Can't open debug log file with invalid logging mode'%u'",
                  unsigned(mode));
      break;
  }
  return gLog.file != INVALID_HANDLE_VALUE;
}

void CloseDebugLog() {
  switch (gLog.mode) {
    case LogModeImmediate:
    case LogModeDiscard:
      if (gLog.queueOpen) {
        ScopedCriticalSection lock(gLog.queueSection);
        QueueClosingLine();
      }
      // The queue is closed now, so this report writes (or drops) what is queued and not itself.
      ErrorReport(__LINE__, TraceMessage).Report("Debug:  Flush Queue\n\n");
      break;
    case LogModeThreaded:
      StopLoggingThread();
      break;
    case LogModeNone:
      if (gLog.queueOpen) {
        ScopedCriticalSection lock(gLog.queueSection);
        QueueClosingLine();
      }
      break;
    default:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "Invalid logging mode %u detected while closing log file",
                  unsigned(gLog.mode));
      if (gLog.queueOpen) {
        ScopedCriticalSection lock(gLog.queueSection);
        QueueClosingLine();
      }
      break;
  }
  if (gLog.file != INVALID_HANDLE_VALUE) {
    FlushFileBuffers(gLog.file);
    CloseHandle(gLog.file);
    gLog.file = INVALID_HANDLE_VALUE;
  }
  gLog.mode = LogModeNone;
  if (gLog.sectionCreated) {
    // Lines that never reached a file must not leak into the next load's log.
    {
      ScopedCriticalSection lock(gLog.queueSection);
      DropQueuedEntries();
    }
    gLog.sectionCreated = false;
    DeleteCriticalSection(&gLog.queueSection);
  }
  gLog.queueOpen = false;
}
