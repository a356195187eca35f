// The thread of `--drive`: waits for the plug-in's dialog, carries out the script one command at
// a time with a line of report each, and leaves no dialog open behind a failure.
#include <process.h>

#include "Driver.h"
#include "HostClock.h"

namespace {

constexpr DWORD kDialogAppearLimitMs = 120000;
constexpr DWORD kDialogCloseLimitMs = 10000;

}  // namespace

DriveThread::DriveThread(std::vector<DriveCommand> commands, FILE* out) : m_Commands(std::move(commands)), m_Out(out) {}

DriveThread::~DriveThread() {
  if (m_Thread != nullptr) Finish();
}

bool DriveThread::Start() {
  m_Thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Entry, this, 0, nullptr));
  if (m_Thread == nullptr) m_Failure = "drive: the driving thread cannot start";
  return m_Thread != nullptr;
}

bool DriveThread::Finish() {
  m_Stop = true;
  if (m_Thread != nullptr) {
    WaitForSingleObject(m_Thread, INFINITE);
    CloseHandle(m_Thread);
    m_Thread = nullptr;
  }
  return m_Failure.empty();
}

unsigned __stdcall DriveThread::Entry(void* self) {
  try {
    static_cast<DriveThread*>(self)->Run();
  } catch (...) {
    static_cast<DriveThread*>(self)->m_Failure = "drive: the driving thread failed unexpectedly";
  }
  return 0;
}

void DriveThread::Print(const std::string& line) {
  std::string whole = line + "\n";
  fputs(whole.c_str(), m_Out);
  fflush(m_Out);
}

void DriveThread::Run() {
  HWND dialog = nullptr;
  ULONGLONG deadline = GetTickCount64() + kDialogAppearLimitMs;
  while ((dialog = FindPluginDialog()) == nullptr) {
    if (m_Stop || GetTickCount64() >= deadline) {
      Print(m_Failure = "drive: the plug-in's dialog did not appear");
      return;
    }
    Sleep(20);
  }
  MarkHostTime("the dialog is visible");
  DriveSession session;
  std::string report;
  if (!BeginDrive(dialog, &session, &report) || !BringDialogToFront(&session, &report)) {
    Print(m_Failure = "drive: " + report);
    CancelDialog(&session);
    return;
  }
  for (const DriveCommand& command : m_Commands) {
    MarkHostTime(("drive " + command.text + " begins").c_str());
    bool done = RunDriveCommand(command, &session, &report);
    std::string line = "drive: " + command.text + ": " + report;
    Print(line);
    MarkHostTime(("drive " + command.text + " done").c_str());
    if (!done) {
      m_Failure = line;
      CancelDialog(&session);
      return;
    }
  }
  ReleaseHeldKeys(&session.hands);
  deadline = GetTickCount64() + kDialogCloseLimitMs;
  while (IsWindow(dialog) && IsWindowVisible(dialog)) {
    if (GetTickCount64() >= deadline) {
      Print(m_Failure = "drive: the script ended with the dialog still open");
      CancelDialog(&session);
      return;
    }
    Sleep(20);
  }
  MarkHostTime("the dialog is closed");
}

int DriveExitStatus(bool driveSucceeded, int hostStatus) { return driveSucceeded ? hostStatus : 1; }
