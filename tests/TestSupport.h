// Helpers shared by the tests: where the built plug-in and host are, scratch folders, capture of
// reports and message boxes, and running the reference host as a separate process.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

std::wstring BuiltPluginPath();
std::wstring ExamplesPath();  // the repository's examples folder
std::wstring BuiltFilterHostPath();
std::wstring BuiltCoverWindowPath();  // tools/coverwindow: a window of another program
std::wstring MakeScratchFolder(const wchar_t* name);
void RemoveFolderTree(const std::wstring& folder);
std::vector<uint8_t> ReadWholeFile(const std::wstring& path);
bool FileExists(const std::wstring& path);
void WriteWholeFile(const std::wstring& path, const std::string& bytes);

struct CapturedReport {
  uint32_t kind;
  uint32_t style;
  std::string title;
  std::string text;
};
struct CapturedBox {
  HWND owner;
  std::string text;
  std::string title;
  UINT style;
};

// Installs capturing sinks for reports and boxes for its lifetime; reports are kept in order.
class ReportCapture {
 public:
  ReportCapture();
  ~ReportCapture();
  std::vector<CapturedReport> Reports() const;
  std::vector<CapturedBox> Boxes() const;
  bool HasReport(const std::string& text) const;
  bool HasReportContaining(const std::string& part) const;
  void Clear();

 private:
  void* m_PreviousSink = nullptr;
};

struct ProcessResult {
  int exitCode = -1;
  std::string output;
};
// Runs a program to its end, or ends it at the time limit (inside ctest's own limit, so that a
// hung host does not outlive its test). Runs of the reference host share the filter's last-used
// file in the user's data folder, so they take turns (ctest runs two test processes at once).
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 240000);
// Held by a test that runs the host several times and needs the last-used file to itself.
class HostRunTurn {
 public:
  HostRunTurn();
  ~HostRunTurn();
  HostRunTurn(const HostRunTurn&) = delete;
  HostRunTurn& operator=(const HostRunTurn&) = delete;

 private:
  HANDLE m_Mutex;
};

// Polls the condition until it holds or the time limit passes; true when it held. Tests wait for
// what they need this way rather than sleeping a fixed time, which is either too long or, on a
// busy machine, too short.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// Runs the process's passes on a given number of workers for its lifetime, whatever the machine
// has, then returns them to the machine's own count.
class ScopedWorkerCount {
 public:
  explicit ScopedWorkerCount(uint32_t workers);
  ~ScopedWorkerCount();
  ScopedWorkerCount(const ScopedWorkerCount&) = delete;
  ScopedWorkerCount& operator=(const ScopedWorkerCount&) = delete;
};

// Answers the plug-in's main dialog when a filter run in this process opens it: as soon as a
// dialog of this process shows the preview control, the controls named are clicked and then the
// button is pressed (IDOK or IDCANCEL), once per dialog, as a user would.
class MainDialogAnswer {
 public:
  explicit MainDialogAnswer(int button, std::vector<int> clicksFirst = {});
  ~MainDialogAnswer();
  MainDialogAnswer(const MainDialogAnswer&) = delete;
  MainDialogAnswer& operator=(const MainDialogAnswer&) = delete;
  int Answered() const;

 private:
  struct Watch;
  Watch* m_Watch;
};
// The plug-in's main dialog if this process shows one, else null.
HWND FindMainDialog();

// GDI objects of this process: the system's count, or where the system does not keep one (Wine
// answers 0) the used entries of the process's GDI handle table, less the window manager's cache of
// released display contexts. That cache grows to the most contexts ever held at once and never
// shrinks, so it would read as a leak of whichever run first needed one more.
DWORD CountGdiObjects();
// Windows of this process, top-level and child, visible or not.
int CountProcessWindows();

struct FilePixels;
// The reference host with the plug-in on a 320 x 240 synthetic document, the initial settings
// played, so that a run does not depend on what another left; `arguments` follow.
ProcessResult RunFilterHostWithInitialSettings(const std::wstring& arguments);
// A PNG the host wrote, failing the test with the reader's reason when it cannot be read.
bool ReadPngForTest(const std::wstring& path, FilePixels* pixels);
