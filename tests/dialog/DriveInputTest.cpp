// The driver's input through the system's queue, against a stand-in dialog in front: where clicks,
// drags and the wheel land in the preview, which keys and modifiers arrive, values typed into
// boxes, the effect list, the check box, buttons, resizing by the corner and screenshots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "Driver.h"
#include "ForeignWindows.h"
#include "PngFiles.h"
#include "support/StandInDialog.h"
#include "TestSupport.h"

namespace {

class DriveInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(m_Dialog.Window(), nullptr);
    std::string error;
    ASSERT_TRUE(BeginDrive(m_Dialog.Window(), &m_Session, &error)) << error;
    ASSERT_TRUE(BringDialogToFront(&m_Session, &error)) << error;
  }
  void TearDown() override { ReleaseHeldKeys(&m_Session.hands); }
  bool Run(const std::string& line, std::string* report) { return RunDriveCommand(ParsedDriveCommand(line), &m_Session, report); }
  void RunOk(const std::string& line) {
    std::string report;
    EXPECT_TRUE(Run(line, &report)) << line << ": " << report;
  }
  std::vector<PreviewEvent> EventsOf(UINT message) const {
    std::vector<PreviewEvent> found;
    for (const PreviewEvent& event : m_Dialog.PreviewEvents())
      if (event.message == message) found.push_back(event);
    return found;
  }
  std::string TextOf(int id) const {
    char text[256] = {};
    GetWindowTextA(m_Dialog.Control(id), text, sizeof text);
    return text;
  }

  StandInDialog m_Dialog{STANDIN_IN_FRONT};
  DriveSession m_Session;
};

// A window of another program over `area` for `milliseconds`, as another test's window appears
// over a driven dialog; shown when the constructor returns, unless Shown() says otherwise.
class CoverWindow {
 public:
  CoverWindow(const RECT& area, int milliseconds) {
    std::wstring line = L"\"" + BuiltCoverWindowPath() + L"\" " + std::to_wstring(area.left) + L" " +
                        std::to_wstring(area.top) + L" " + std::to_wstring(area.right - area.left) + L" " +
                        std::to_wstring(area.bottom - area.top) + L" " + std::to_wstring(milliseconds);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_Process)) return;
    CloseHandle(m_Process.hThread);
    // The program is idle once its window is shown and it waits for messages.
    m_Shown = WaitForInputIdle(m_Process.hProcess, 20000) == 0 && ForeignWindowOver(area) != nullptr;
  }
  ~CoverWindow() {
    if (m_Process.hProcess == nullptr) return;
    if (WaitForSingleObject(m_Process.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(m_Process.hProcess, 1);
    CloseHandle(m_Process.hProcess);
  }
  CoverWindow(const CoverWindow&) = delete;
  CoverWindow& operator=(const CoverWindow&) = delete;
  bool Shown() const { return m_Shown; }

 private:
  PROCESS_INFORMATION m_Process{};
  bool m_Shown = false;
};

}  // namespace

// Other tests run beside the driven ones and show windows of their own. One over a click's point
// would take the click, and one over a capture would be in the picture: both wait until it goes.
TEST_F(DriveInput, ClicksAndScreenshotsWaitForAnotherProgramsWindowToGo) {
  constexpr int kCoverMs = 1500;
  RECT preview{};
  GetWindowRect(m_Dialog.Control(kPreviewControlId), &preview);
  RECT corner{preview.left, preview.top, preview.left + 120, preview.top + 90};
  ULONGLONG started = GetTickCount64();
  {
    CoverWindow cover(corner, kCoverMs);
    ASSERT_TRUE(cover.Shown());
    RunOk("click 30 40");
  }
  EXPECT_GE(GetTickCount64() - started, ULONGLONG(kCoverMs));
  auto downs = EventsOf(WM_LBUTTONDOWN);
  ASSERT_EQ(downs.size(), 1u) << "the click went to the other program's window";
  EXPECT_EQ(downs[0].at.x, 30);
  EXPECT_EQ(downs[0].at.y, 40);

  std::wstring folder = MakeScratchFolder(L"covered");
  std::wstring file = folder + L"\\dialog.png";
  std::string narrow(file.begin(), file.end());
  RECT middle{(preview.left + preview.right) / 2 - 40, (preview.top + preview.bottom) / 2 - 30,
              (preview.left + preview.right) / 2 + 40, (preview.top + preview.bottom) / 2 + 30};
  started = GetTickCount64();
  {
    CoverWindow cover(middle, kCoverMs);
    ASSERT_TRUE(cover.Shown());
    RunOk("screenshot " + narrow);
  }
  EXPECT_GE(GetTickCount64() - started, ULONGLONG(kCoverMs));
  RECT window{};
  GetWindowRect(m_Dialog.Window(), &window);
  FilePixels pixels;
  std::vector<uint8_t> profile;
  std::string error;
  ASSERT_TRUE(ReadPngFile(file, &pixels, &profile, &error)) << error;
  // The stand-in's preview is the gray stock brush; the other program's window is white.
  const uint8_t* centre = pixels.Row((preview.top + preview.bottom) / 2 - window.top) +
                          3 * ((preview.left + preview.right) / 2 - window.left);
  EXPECT_EQ(centre[0], 0x80);
  EXPECT_EQ(centre[1], 0x80);
  EXPECT_EQ(centre[2], 0x80);
  RemoveFolderTree(folder);
}

TEST_F(DriveInput, ClicksLandAtPreviewCoordinates) {
  RunOk("click 30 40");
  RunOk("dblclick 100 7");
  auto downs = EventsOf(WM_LBUTTONDOWN);
  auto ups = EventsOf(WM_LBUTTONUP);
  auto doubles = EventsOf(WM_LBUTTONDBLCLK);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_EQ(downs[0].at.x, 30);
  EXPECT_EQ(downs[0].at.y, 40);
  ASSERT_EQ(ups.size(), 3u);
  EXPECT_EQ(ups[0].at.x, 30);
  ASSERT_EQ(doubles.size(), 1u);
  EXPECT_EQ(doubles[0].at.x, 100);
  EXPECT_EQ(doubles[0].at.y, 7);
}

TEST_F(DriveInput, DragsMoveInStepsWithTheButtonDown) {
  RunOk("drag 20 20 200 150");
  auto downs = EventsOf(WM_LBUTTONDOWN);
  auto ups = EventsOf(WM_LBUTTONUP);
  ASSERT_EQ(downs.size(), 1u);
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_EQ(downs[0].at.x, 20);
  EXPECT_EQ(downs[0].at.y, 20);
  EXPECT_EQ(ups[0].at.x, 200);
  EXPECT_EQ(ups[0].at.y, 150);
  int dragging = 0;
  LONG lastX = 20;
  for (const PreviewEvent& move : EventsOf(WM_MOUSEMOVE))
    if (move.wParam & MK_LBUTTON) {
      EXPECT_GE(move.at.x, lastX);
      lastX = move.at.x;
      ++dragging;
    }
  EXPECT_GE(dragging, 6);
}

TEST_F(DriveInput, WheelTurnsByNotches) {
  RunOk("click 5 5");
  RunOk("wheel 120 90 -2");
  auto wheels = EventsOf(WM_MOUSEWHEEL);
  ASSERT_EQ(wheels.size(), 1u);
  EXPECT_EQ(short(HIWORD(wheels[0].wParam)), -2 * WHEEL_DELTA);
  EXPECT_EQ(wheels[0].at.x, 120);
  EXPECT_EQ(wheels[0].at.y, 90);
}

TEST_F(DriveInput, KeysArriveWithTheirModifiers) {
  RunOk("click 5 5");
  RunOk("key ctrl+alt+0 down ? L");
  std::vector<PreviewEvent> keys;
  for (const PreviewEvent& event : m_Dialog.PreviewEvents())
    if ((event.message == WM_KEYDOWN || event.message == WM_SYSKEYDOWN) && event.wParam != VK_CONTROL &&
        event.wParam != VK_MENU && event.wParam != VK_SHIFT)
      keys.push_back(event);
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[0].wParam, WPARAM('0'));
  EXPECT_TRUE(keys[0].control && keys[0].alt && !keys[0].shift);
  EXPECT_EQ(keys[1].wParam, WPARAM(VK_DOWN));
  EXPECT_FALSE(keys[1].control || keys[1].alt || keys[1].shift);
  EXPECT_EQ(keys[2].wParam, WPARAM(VK_OEM_2));
  EXPECT_TRUE(keys[2].shift);
  EXPECT_EQ(keys[3].wParam, WPARAM('L'));
  EXPECT_FALSE(keys[3].shift);
}

TEST_F(DriveInput, HeldKeysSpanCommandsUntilReleased) {
  RunOk("click 5 5");
  RunOk("hold shift");
  RunOk("key a");
  RunOk("release shift");
  RunOk("key b");
  std::string report;
  EXPECT_FALSE(Run("release shift", &report));
  EXPECT_EQ(report, "the key is not held");
  auto keys = EventsOf(WM_KEYDOWN);
  std::vector<PreviewEvent> letters;
  for (const PreviewEvent& key : keys)
    if (key.wParam == 'A' || key.wParam == 'B') letters.push_back(key);
  ASSERT_EQ(letters.size(), 2u);
  EXPECT_TRUE(letters[0].shift);
  EXPECT_FALSE(letters[1].shift);
  EXPECT_GE(GetAsyncKeyState(VK_SHIFT), 0) << "shift is still down";
}

TEST_F(DriveInput, SetTypesIntoTheValueBoxAndChecksIt) {
  RunOk("set Lngt 80");
  EXPECT_EQ(TextOf(1007), "80");
  RunOk("set Lngt 12.5");
  EXPECT_EQ(TextOf(1007), "12.5");
  // The second box takes digits only, as a box whose logic refuses a value would.
  SetWindowLongPtrW(m_Dialog.Control(1009), GWL_STYLE, GetWindowLongPtrW(m_Dialog.Control(1009), GWL_STYLE) | ES_NUMBER);
  m_Session.textLimitMs = 500;
  std::string report;
  EXPECT_FALSE(Run("set Angl 12.5", &report));
  EXPECT_EQ(report, "the value box did not take 12.5 (it reads '125')");
}

TEST_F(DriveInput, SetPicksTheEffectAndChecksTheBoxOnlyWhenItDiffers) {
  // The list's order is not the codes' order: the item is found by the style's name.
  RunOk("set stEf efT3");
  EXPECT_EQ(SendMessageW(m_Dialog.Control(kEffectSelectorId), CB_GETCURSEL, 0, 0), 2) << "Hyper Star";
  RunOk("set stEf efT6");
  EXPECT_EQ(SendMessageW(m_Dialog.Control(kEffectSelectorId), CB_GETCURSEL, 0, 0), 1) << "Star Burst";
  RunOk("select-style Religious Cross");
  EXPECT_EQ(SendMessageW(m_Dialog.Control(kEffectSelectorId), CB_GETCURSEL, 0, 0), 6);
  std::string report;
  m_Session.textLimitMs = 300;
  EXPECT_FALSE(Run("select-style Star Bust", &report));
  EXPECT_EQ(report, "the effect list has no item 'Star Bust' (it has 7 items)");
  RunOk("set opsO 1");
  EXPECT_EQ(SendMessageW(m_Dialog.Control(kEffectsOnlyCheckId), BM_GETCHECK, 0, 0), BST_CHECKED);
  RunOk("set opsO 1");
  EXPECT_EQ(SendMessageW(m_Dialog.Control(kEffectsOnlyCheckId), BM_GETCHECK, 0, 0), BST_CHECKED);
  RunOk("set opsO 0");
  EXPECT_EQ(SendMessageW(m_Dialog.Control(kEffectsOnlyCheckId), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(DriveInput, PressOkEndsTheDialogWithOne) {
  RunOk("press OK");
  EXPECT_TRUE(WaitUntil([this] { return m_Dialog.Ended(); }, 5000));
  EXPECT_EQ(m_Dialog.Result(), IDOK);
}

TEST_F(DriveInput, PressCancelEndsTheDialogWithTwo) {
  RunOk("press Cancel");
  EXPECT_TRUE(WaitUntil([this] { return m_Dialog.Ended(); }, 5000));
  EXPECT_EQ(m_Dialog.Result(), IDCANCEL);
}

TEST_F(DriveInput, EscapeEndsTheDialogWithTwo) {
  RunOk("key esc");
  EXPECT_TRUE(WaitUntil([this] { return m_Dialog.Ended(); }, 5000));
  EXPECT_EQ(m_Dialog.Result(), IDCANCEL);
}

TEST_F(DriveInput, ResetNeedsCancelToTurnIntoReset) {
  m_Session.textLimitMs = 300;
  std::string report;
  EXPECT_FALSE(Run("press Reset", &report));
  EXPECT_EQ(report, "Cancel did not turn into Reset while Alt was held (it reads 'Cancel')");
  EXPECT_TRUE(m_Session.hands.held.empty());
  EXPECT_FALSE(m_Dialog.Ended());
}

TEST_F(DriveInput, ResizeDragsTheCornerAndRespectsTheMinimum) {
  std::string report;
  EXPECT_TRUE(Run("resize 700 520", &report)) << report;
  EXPECT_EQ(report, "ok");
  RECT rectangle{};
  GetWindowRect(m_Dialog.Window(), &rectangle);
  EXPECT_EQ(rectangle.right - rectangle.left, 700);
  EXPECT_EQ(rectangle.bottom - rectangle.top, 520);
  m_Session.textLimitMs = 500;
  EXPECT_FALSE(Run("resize 300 200", &report));
  EXPECT_EQ(report, "the dialog is 400x300, not 300x200");
}

TEST_F(DriveInput, ScreenshotHasTheDialogsSizeAndShowsThePreview) {
  std::wstring folder = MakeScratchFolder(L"screenshot");
  std::wstring file = folder + L"\\dialog.png";
  std::string narrow(file.begin(), file.end());
  std::string report;
  ASSERT_TRUE(Run("screenshot " + narrow, &report)) << report;
  RECT window{}, preview{};
  GetWindowRect(m_Dialog.Window(), &window);
  GetWindowRect(m_Dialog.Control(kPreviewControlId), &preview);
  EXPECT_EQ(report, "ok " + std::to_string(window.right - window.left) + "x" + std::to_string(window.bottom - window.top) +
                        " at (" + std::to_string(window.left) + "," + std::to_string(window.top) + ")");
  FilePixels pixels;
  std::vector<uint8_t> profile;
  std::string error;
  ASSERT_TRUE(ReadPngFile(file, &pixels, &profile, &error)) << error;
  EXPECT_EQ(pixels.width, window.right - window.left);
  EXPECT_EQ(pixels.height, window.bottom - window.top);
  ASSERT_EQ(pixels.channels, 3);
  std::set<uint32_t> colours;
  for (int32_t y = 0; y < pixels.height; ++y)
    for (int32_t x = 0; x < pixels.width; ++x) {
      const uint8_t* at = pixels.Row(y) + 3 * x;
      colours.insert(uint32_t(at[0]) << 16 | uint32_t(at[1]) << 8 | at[2]);
    }
  EXPECT_GT(colours.size(), 4u) << "the screenshot is blank";
  // The preview is painted with the gray stock brush: the crop must put it where the window is.
  int x = (preview.left + preview.right) / 2 - window.left, y = (preview.top + preview.bottom) / 2 - window.top;
  const uint8_t* centre = pixels.Row(y) + 3 * x;
  EXPECT_EQ(centre[0], 0x80);
  EXPECT_EQ(centre[1], 0x80);
  EXPECT_EQ(centre[2], 0x80);
  RemoveFolderTree(folder);
}

TEST(DriveThreadRun, AFailingExpectCancelsTheDialogAndFailsTheDrive) {
  StandInDialog dialog(STANDIN_IN_FRONT);
  std::vector<DriveCommand> commands{ParsedDriveCommand("expect OK OK"), ParsedDriveCommand("expect OK Wrong"), ParsedDriveCommand("press OK")};
  FILE* out = tmpfile();
  DriveThread driver(commands, out);
  ASSERT_TRUE(driver.Start());
  EXPECT_TRUE(WaitUntil([&] { return dialog.Ended(); }, 30000));
  EXPECT_FALSE(driver.Finish());
  EXPECT_EQ(driver.Failure(), "drive: expect OK Wrong: the text is 'OK', not 'Wrong'");
  EXPECT_EQ(dialog.Result(), IDCANCEL);
  rewind(out);
  char text[1024] = {};
  fread(text, 1, sizeof text - 1, out);
  fclose(out);
  EXPECT_STREQ(text, "drive: expect OK OK: ok\ndrive: expect OK Wrong: the text is 'OK', not 'Wrong'\n");
}

TEST(DriveThreadRun, AScriptEndingWithTheDialogOpenFails) {
  StandInDialog dialog(STANDIN_IN_FRONT);
  FILE* out = tmpfile();
  DriveThread driver({ParsedDriveCommand("expect Cancel Cancel")}, out);
  ASSERT_TRUE(driver.Start());
  EXPECT_TRUE(WaitUntil([&] { return dialog.Ended(); }, 30000));
  EXPECT_FALSE(driver.Finish());
  EXPECT_EQ(driver.Failure(), "drive: the script ended with the dialog still open");
  EXPECT_EQ(dialog.Result(), IDCANCEL);
  fclose(out);
}

TEST(DriveThreadRun, AScriptThatPressesOkSucceeds) {
  StandInDialog dialog(STANDIN_IN_FRONT);
  FILE* out = tmpfile();
  DriveThread driver({ParsedDriveCommand("wait-idle 10"), ParsedDriveCommand("press OK")}, out);
  ASSERT_TRUE(driver.Start());
  EXPECT_TRUE(WaitUntil([&] { return dialog.Ended(); }, 30000));
  EXPECT_TRUE(driver.Finish()) << driver.Failure();
  EXPECT_EQ(dialog.Result(), IDOK);
  fclose(out);
}
