// Formats a report and dispatches it by kind: one debug log line for every kind, and a message
// box for UserMessage. The line formats are the log's public face; keep them byte for byte.
#include "support/ErrorReport.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "support/LogQueue.h"
#include "support/UserMessage.h"

namespace {

std::atomic<ReportObserver> gReportObserver{nullptr};

const char* OrNull(const char* text) { return text != nullptr ? text : "(null)"; }

void FormatLocalTime(char* buffer, size_t size) {
  time_t now = time(nullptr);
  tm local{};
  localtime_s(&local, &now);
  strftime(buffer, size, "%H:%M:%S", &local);
}

// printf into a fresh heap block; null when the block cannot be had (the report is then lost).
char* FormatText(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) return nullptr;
  char* text = static_cast<char*>(malloc(size_t(length) + 1));
  if (text != nullptr) vsnprintf(text, size_t(length) + 1, format, args);
  return text;
}

void CutAtLineBreak(char* text) {
  if (char* end = strstr(text, "\r\n")) *end = 0;
}

void WriteSystemErrorLine(const char* time, uint32_t line, uint32_t code, const char* title, const char* text) {
  char* systemText = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<char*>(&systemText), 0, nullptr);
  if (length == 0) systemText = nullptr;
  if (systemText != nullptr) CutAtLineBreak(systemText);
  WriteLogLine(2, "%s Thread 0x%04X: Line %u: System Error: '%s' : '%s' - '%s'", time,
               unsigned(GetCurrentThreadId()), line, OrNull(systemText), OrNull(title), text);
  if (systemText != nullptr) LocalFree(systemText);
}

void WriteRuntimeErrorLine(const char* time, uint32_t line, uint32_t code, const char* title, const char* text) {
  char* runtimeText = static_cast<char*>(malloc(256));
  if (runtimeText == nullptr) return;
  if (strerror_s(runtimeText, 256, int(code)) != 0) {
    snprintf(runtimeText, 256, "Unidentified C Run-Time Library Error %d", int(code));
  }
  CutAtLineBreak(runtimeText);
  WriteLogLine(2, "%s Thread 0x%04X: Line %u: C Run-Time Library Error: '%s' : '%s' - '%s'", time,
               unsigned(GetCurrentThreadId()), line, runtimeText, OrNull(title), text);
  free(runtimeText);
}

}  // namespace

ReportObserver SetReportObserver(ReportObserver observer) { return gReportObserver.exchange(observer); }

void ErrorReport::Report(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = FormatText(format, args);
  va_end(args);
  if (text == nullptr) return;
  Dispatch(text);
  free(text);
}

void ErrorReport::Report(uint32_t style, const char* title, const char* format, ...) {
  m_Style = style;
  m_Title = title;
  va_list args;
  va_start(args, format);
  char* text = FormatText(format, args);
  va_end(args);
  if (text == nullptr) return;
  Dispatch(text);
  free(text);
}

void ErrorReport::Dispatch(const char* text) {
  if (ReportObserver observer = gReportObserver.load()) observer(m_Kind, m_Style, m_Title, text);
  char time[32];
  FormatLocalTime(time, sizeof time);
  unsigned thread = unsigned(GetCurrentThreadId());
  switch (m_Kind) {
    case DebugMessage:
      WriteLogLine(2, "%s Thread 0x%04X: Line %u: Debug Message: '%s' - '%s'", time, thread, m_Line,
                   OrNull(m_Title), text);
      break;
    case UserMessage:
      WriteLogLine(2, "%s Thread 0x%04X: Line %u: User Message: '%s' - '%s'", time, thread, m_Line,
                   OrNull(m_Title), text);
      ShowUserMessage(text, m_Title, m_Style);
      break;
    case SystemError:
      WriteSystemErrorLine(time, m_Line, m_Code, m_Title, text);
      break;
    case EventMonitor:
      WriteLogLine(0, "%s Thread 0x%04X: Line %u: Event Monitor: %s", time, thread, m_Line, text);
      break;
    case RuntimeLibraryError:
      WriteRuntimeErrorLine(time, m_Line, m_Code, m_Title, text);
      break;
    case TraceMessage:
      WriteLogLine(2, "%s Thread 0x%04X: Line %u: Trace Message: %s", time, thread, m_Line, text);
      break;
    default:
      break;
  }
}

const char* OpenGLErrorText(uint32_t code, char* buffer, size_t size) {
  switch (code) {
    case 0: return "Success";
    case 0x0500: return "An invalid enumeration was specified";
    case 0x0501: return "An invalid value was specified";
    case 0x0502: return "An invalid operation was attempted";
    case 0x0503: return "A stack overflow has occurred";
    case 0x0504: return "A stack underflow has occurred";
    case 0x0505: return "OpenGL memory is exhausted";
    default: snprintf(buffer, size, "Unrecognized OpenGL Error %X", unsigned(code)); return buffer;
  }
}

void OpenGLErrorReport::Report(const char* format, ...) {
  if (m_Code == 0) return;
  va_list args;
  va_start(args, format);
  char* text = FormatText(format, args);
  va_end(args);
  if (text == nullptr) return;
  DispatchOpenGL(text);
  free(text);
}

void OpenGLErrorReport::Report(uint32_t style, const char* title, const char* format, ...) {
  if (m_Code == 0) return;
  m_Style = style;
  m_Title = title;
  va_list args;
  va_start(args, format);
  char* text = FormatText(format, args);
  va_end(args);
  if (text == nullptr) return;
  DispatchOpenGL(text);
  free(text);
}

void OpenGLErrorReport::DispatchOpenGL(const char* text) {
  if (m_Kind != OpenGLError) {
    Dispatch(text);
    return;
  }
  if (ReportObserver observer = gReportObserver.load()) observer(m_Kind, m_Style, m_Title, text);
  char time[32];
  FormatLocalTime(time, sizeof time);
  char unknown[48];
  char* errorText = _strdup(OpenGLErrorText(m_Code, unknown, sizeof unknown));
  if (errorText == nullptr) return;
  WriteLogLine(2, "%s : Line %u: OpenGL Error: '%s' : '%s' - '%s'\n", time, m_Line, errorText, OrNull(m_Title), text);
  free(errorText);
}
