// The main dialog of a filter run driven with real keys through the system's input queue: Esc
// cancels the run, and plain letters reach their commands through the accelerator hook of the
// modal loop instead of typing into the focused value box.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "HostSession.h"
#include "TestSupport.h"
#include "params/ParameterBlock.h"
#include "resource.h"
#include "support/DataFolders.h"
#include "support/LogTestSupport.h"

extern "C" void PluginMain(int16 selector, void* record, intptr_t* data, int16* result) noexcept;

namespace {

void PressKey(WORD key) {
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = inputs[1].ki.wVk = key;
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

HWND FocusOfThread(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

bool Checked(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

// A user at the dialog: waits for it on its own thread, brings it to the front and acts; the
// filter run goes on on the test's thread, which runs the dialog's modal loop.
class UserAtDialog {
 public:
  explicit UserAtDialog(std::function<void(HWND)> act) {
    m_Thread = std::thread([this, act] {
      HWND dialog = nullptr;
      if (!WaitUntil([&] { return (dialog = FindMainDialog()) != nullptr; }, 60000)) return;
      // The window manager may hand the front to the dialog only on a later try.
      m_Foreground = WaitUntil([&] {
        SetForegroundWindow(dialog);
        return GetForegroundWindow() == dialog;
      }, 10000);
      act(dialog);
      // Whatever happened, the dialog must not outlive the test.
      if (!WaitUntil([&] { return !IsWindow(dialog); }, 10000)) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
    });
  }
  ~UserAtDialog() { Join(); }
  void Join() {
    if (m_Thread.joinable()) m_Thread.join();
  }
  bool Foreground() const { return m_Foreground; }

 private:
  std::thread m_Thread;
  std::atomic<bool> m_Foreground{false};
};

}  // namespace

class MainDialogKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Root = UseScratchDataFolders(L"dialogkeys");
    m_Quiet = fopen("NUL", "w");
    HostOptions options;
    options.out = m_Quiet;
    m_Session = std::make_unique<HostSession>(HostDocument{}, options);
    m_Session->Attach(PluginMain);
  }
  void TearDown() override {
    m_Session.reset();
    if (m_Quiet != nullptr) fclose(m_Quiet);
    SetDataFolderRoots(nullptr, nullptr);
    RemoveFolderTree(m_Root);
  }

  std::wstring m_Root;
  FILE* m_Quiet = nullptr;
  std::unique_ptr<HostSession> m_Session;
};

TEST_F(MainDialogKeys, EscInTheMainSetCancelsTheRunAndLeavesTheImage) {
  std::vector<std::vector<uint8_t>> before = m_Session->Image().planes;
  ReportCapture capture;
  UserAtDialog user([](HWND) { PressKey(VK_ESCAPE); });
  EXPECT_EQ(m_Session->RunFirstRun(), userCanceledErr);
  user.Join();
  ASSERT_TRUE(user.Foreground());
  EXPECT_TRUE(capture.HasReport("CTLSETEVNT_END_CANCEL in ControlSetEventHandler(), *gResult set to -128."));
  EXPECT_EQ(m_Session->Image().planes, before);
}

TEST_F(MainDialogKeys, PlainLettersReachTheirCommandsThroughTheHook) {
  std::atomic<bool> previewCleared{false}, lengthFocused{false}, quantityFocused{false}, effectsOnly{false};
  std::atomic<int> typedIntoBox{-1};
  ReportCapture capture;
  UserAtDialog user([&](HWND dialog) {
    quantityFocused = WaitUntil([&] { return FocusOfThread(dialog) == GetDlgItem(dialog, IDC_QUANTITY_VALUE); });
    PressKey('P');
    previewCleared = WaitUntil([&] { return !Checked(dialog, IDC_PREVIEW_CHECK); });
    PressKey('L');
    lengthFocused = WaitUntil([&] { return FocusOfThread(dialog) == GetDlgItem(dialog, IDC_LENGTH_VALUE); });
    PressKey('O');
    effectsOnly = WaitUntil([&] { return Checked(dialog, IDC_EFFECTS_ONLY); });
    typedIntoBox = int(SendMessageW(GetDlgItem(dialog, IDC_LENGTH_VALUE), WM_GETTEXTLENGTH, 0, 0));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  });
  EXPECT_EQ(m_Session->RunFirstRun(), noErr);
  user.Join();
  for (const CapturedBox& box : capture.Boxes()) ADD_FAILURE() << box.title << ": " << box.text;
  ASSERT_TRUE(user.Foreground());
  EXPECT_TRUE(quantityFocused) << "the dialog opens with Quantity focused";
  EXPECT_TRUE(previewCleared) << "P toggles Preview";
  EXPECT_TRUE(lengthFocused) << "L focuses the Length value box";
  EXPECT_TRUE(effectsOnly) << "O toggles Effects Only";
  EXPECT_EQ(typedIntoBox, 2) << "a translated letter is not typed into the focused box (it shows \"50\")";
  ParameterBlock block{};
  memcpy(&block, *m_Session->Record()->parameters, sizeof block);
  EXPECT_EQ(block.effectsOnly, 1) << "OK kept what the keys chose";
}
