// The one way every module reports failures, warnings and trace events: an ErrorReport built on
// the stack at the reporting site, filled and used once. Every report becomes one debug log line.
#pragma once
#include <cstdint>

enum MessageKind : uint32_t {
  DebugMessage = 0,
  UserMessage = 1,
  SystemError = 2,
  OpenGLError = 3,
  EventMonitor = 4,
  RuntimeLibraryError = 5,
  TraceMessage = 6,
  MESSAGEKIND_COUNT
};

// Message-box styles used with reports (icon bits of MessageBox).
constexpr uint32_t kStyleError = 16;
constexpr uint32_t kStyleWarning = 48;
constexpr uint32_t kStyleInformation = 64;

constexpr const char kTitleUnexpectedError[] = "Debug:  Unexpected Error";
constexpr const char kTitleDebugWarning[] = "Debug:  Warning";
constexpr const char kTitleExitingPlugin[] = "Error - Exiting Plug-in";
constexpr const char kTitleWarning[] = "Warning";
constexpr const char kTitlePleaseNote[] = "Please Note";
constexpr const char kTitleScriptingError[] = "Scripting Error";

class ErrorReport {
 public:
  ErrorReport(uint32_t line, MessageKind kind, uint32_t code = 0) : m_Line(line), m_Kind(kind), m_Code(code) {}
  virtual ~ErrorReport() = default;
  virtual void Report(const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
  virtual void Report(uint32_t style, const char* title, const char* format, ...)
      __attribute__((format(gnu_printf, 4, 5)));

  ErrorReport(const ErrorReport&) = delete;
  ErrorReport& operator=(const ErrorReport&) = delete;

 protected:
  void Dispatch(const char* text);

  uint32_t m_Line;
  uint32_t m_Kind;
  uint32_t m_Code;
  uint32_t m_Style = 0;
  const char* m_Title = nullptr;
};

// Reports an OpenGL error only when the code taken from glGetError is not zero.
class OpenGLErrorReport : public ErrorReport {
 public:
  using ErrorReport::ErrorReport;
  void Report(const char* format, ...) override __attribute__((format(gnu_printf, 2, 3)));
  void Report(uint32_t style, const char* title, const char* format, ...) override
      __attribute__((format(gnu_printf, 4, 5)));
  template <typename... Args>
  void ReportIfError(Args... args) { Report(args...); }

 private:
  void DispatchOpenGL(const char* text);
};

const char* OpenGLErrorText(uint32_t code, char* buffer, size_t size);

// Tests observe every report (kind, style, title, text) before it is dispatched.
typedef void (*ReportObserver)(uint32_t kind, uint32_t style, const char* title, const char* text);
ReportObserver SetReportObserver(ReportObserver observer);
