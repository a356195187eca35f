// Drives the plug-in's dialog from a thread of the host process, as a user would: finds the
// dialog, brings it to the front and carries out a script's commands through the input queue.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "DriveInput.h"
#include "DriveScript.h"

constexpr wchar_t kPluginDialogCaption[] = L"Halvorn Pro 3";
constexpr int kPreviewControlId = 1040;
constexpr int kEffectSelectorId = 1182;
constexpr int kEffectsOnlyCheckId = 1122;
constexpr int kSizeGripId = 1083;
constexpr int kZoomMenuButtonId = 1087;
constexpr int kSettingsSelectorId = 1023;
constexpr int kSettingsMenuButtonId = 1050;

// A visible top-level dialog ("#32770") of this process with the plug-in's caption, or null.
HWND FindPluginDialog();

// The frame ids the preview window carries; false when it carries none yet.
struct PreviewFrames {
  LONG_PTR queued = 0;
  LONG_PTR presented = 0;
};
bool ReadPreviewFrames(HWND preview, PreviewFrames* frames);
// The preview shows the latest parameters: a frame was queued and it (or a later one) is shown.
bool IsPreviewIdle(const PreviewFrames& frames);

constexpr wchar_t kOptionsDialogCaption[] = L"Halvorn Pro 3 Plug-in Options";

struct DriveSession {
  HWND dialog = nullptr;      // the dialog the commands act on
  HWND mainDialog = nullptr;  // the plug-in's dialog while a dialog it opened is driven
  InputWatch watch;
  InputHands hands;
  DWORD textLimitMs = 3000;  // how long a control may take to show what a command expects
};

// Attaches to the dialog: the input watch on its thread, and no change of the foreground window
// (BringDialogToFront does that, for drives that send input).
bool BeginDrive(HWND dialog, DriveSession* session, std::string* error);
bool BringDialogToFront(DriveSession* session, std::string* error);
// Carries out one command; *report is "ok ..." or the reason it failed.
bool RunDriveCommand(const DriveCommand& command, DriveSession* session, std::string* report);
// Ends a failed drive: releases held keys and cancels the dialog until it is gone.
void CancelDialog(DriveSession* session);

// The whole drive on its own thread: waits for the dialog, runs the commands, prints one line a
// command and, when one fails, cancels the dialog. Stop() ends the wait for a dialog that never
// came; Succeeded() is false when a command failed or the dialog was still open at the end.
class DriveThread {
 public:
  DriveThread(std::vector<DriveCommand> commands, FILE* out);
  ~DriveThread();
  DriveThread(const DriveThread&) = delete;
  DriveThread& operator=(const DriveThread&) = delete;

  bool Start();
  // Called once the dialog has closed; joins the thread.
  bool Finish();
  const std::string& Failure() const { return m_Failure; }

 private:
  static unsigned __stdcall Entry(void* self);
  void Run();
  void Print(const std::string& line);

  std::vector<DriveCommand> m_Commands;
  FILE* m_Out;
  HANDLE m_Thread = nullptr;
  std::atomic<bool> m_Stop{false};
  std::string m_Failure;
};

// The host's exit status for a run with a drive: 1 whenever the drive failed, else the host's own.
int DriveExitStatus(bool driveSucceeded, int hostStatus);
