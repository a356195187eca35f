// ConfigureOptions as the Start menu runs it, through rundll32 with no host:
// one options dialog however often it is started, and the second start ends at
// once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "ui/OptionsDialog.h"

namespace {

struct Started {
  HANDLE process = nullptr;
  HANDLE thread = nullptr;
};

Started StartConfigureOptions() {
  std::wstring commandLine = L"rundll32.exe \"" + BuiltPluginPath() + L"\",ConfigureOptions";
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  EXPECT_TRUE(CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
      << GetLastError();
  return Started{info.hProcess, info.hThread};
}

void Close(Started *started) {
  if (started->process != nullptr) {
    if (WaitForSingleObject(started->process, 0) == WAIT_TIMEOUT) TerminateProcess(started->process, 1);
    CloseHandle(started->process);
  }
  if (started->thread != nullptr) CloseHandle(started->thread);
  *started = Started{};
}

BOOL CALLBACK CountOptionsWindow(HWND window, LPARAM count) {
  wchar_t className[16] = {}, caption[64] = {};
  GetClassNameW(window, className, 16);
  GetWindowTextW(window, caption, 64);
  if (wcscmp(className, L"#32770") == 0 && wcscmp(caption, kOptionsDialogCaption) == 0 && IsWindowVisible(window)) {
    ++*reinterpret_cast<int *>(count);
  }
  return TRUE;
}

int OptionsWindows() {
  int count = 0;
  EnumWindows(CountOptionsWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

}  // namespace

TEST(ConfigureOptions, RunsWithoutAHostAndOnlyOnceAtATime) {
  // Other tests open the dialog in-process; this one needs the machine's only
  // options window.
  ASSERT_TRUE(WaitUntil([] { return OptionsWindows() == 0; }, 30000));
  Started first = StartConfigureOptions();
  ASSERT_TRUE(WaitUntil([] { return OptionsWindows() == 1; }, 30000)) << "the first start opens the dialog";
  Started second = StartConfigureOptions();
  EXPECT_EQ(WaitForSingleObject(second.process, 30000), WAIT_OBJECT_0) << "the second start ends by itself";
  EXPECT_EQ(OptionsWindows(), 1);
  HWND dialog = FindWindowW(L"#32770", kOptionsDialogCaption);
  ASSERT_NE(dialog, nullptr);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_EQ(WaitForSingleObject(first.process, 30000), WAIT_OBJECT_0) << "Cancel ends the first start";
  DWORD exitCode = 1;
  GetExitCodeProcess(first.process, &exitCode);
  EXPECT_EQ(exitCode, 0u);
  // With the first gone, a new start opens its own dialog again.
  Started third = StartConfigureOptions();
  EXPECT_TRUE(WaitUntil([] { return OptionsWindows() == 1; }, 30000));
  if (HWND again = FindWindowW(L"#32770", kOptionsDialogCaption))
    PostMessageW(again, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_EQ(WaitForSingleObject(third.process, 30000), WAIT_OBJECT_0);
  Close(&first);
  Close(&second);
  Close(&third);
}
