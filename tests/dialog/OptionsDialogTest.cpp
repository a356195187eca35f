// The options dialog: OK stores a changed OpenGL option with its notice and a
// changed scheme, which reaches an open main dialog; Cancel and unchanged
// choices store nothing; the radio buttons exclude each other; the theme
// buttons show their schemes' colours.
#include <gtest/gtest.h>

#include <process.h>

#include <atomic>
#include <functional>
#include <string>

#include "ui/MainDialogFixture.h"
#include "ui/SchemeRegistryGuard.h"
#include "TestSupport.h"
#include "preview/OpenGLSettings.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "ui/ColorScheme.h"
#include "ui/OptionsDialog.h"

namespace {

constexpr char kTitle[] = "Please Note";

// Acts on the modal options dialog from a second thread while the test's thread
// runs it.
class DialogHand {
 public:
  explicit DialogHand(std::function<void(HWND)> act) : m_Act(std::move(act)) {
    m_Thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Entry, this, 0, nullptr));
  }
  ~DialogHand() {
    WaitForSingleObject(m_Thread, 30000);
    CloseHandle(m_Thread);
  }
  bool found() const { return m_Found; }

 private:
  static unsigned __stdcall Entry(void *self) {
    auto *hand = static_cast<DialogHand *>(self);
    HWND dialog = nullptr;
    WaitUntil(
        [&] { return (dialog = FindWindowW(L"#32770", kOptionsDialogCaption)) != nullptr && IsWindowVisible(dialog); },
        15000);
    hand->m_Found = dialog != nullptr;
    if (dialog != nullptr) hand->m_Act(dialog);
    return 0;
  }
  std::function<void(HWND)> m_Act;
  HANDLE m_Thread = nullptr;
  std::atomic<bool> m_Found{false};
};

void ClickButton(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
bool Checked(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

DWORD StoredScheme() {
  DWORD value = 0xFFFF, size = sizeof value;
  RegGetValueW(HKEY_CURRENT_USER, kUIOptionsKey, kColorSchemeValue, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}

}  // namespace

class OptionsDialog : public MainDialogFixture {
 protected:
  void SetUp() override {
    MainDialogFixture::SetUp();
    m_Key = L"Software\\Vellbrook Software\\HalvornPro\\Tests\\OptionsOpenGL-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_Key.c_str());
    SetOpenGLSettingsKeyForTests(m_Key.c_str());
    StoreOpenGLOption(OPTIMIZE_FOR_COMPATIBILITY);
    SaveColorScheme(COLORSCHEME_DARK);
    ApplyColorScheme(COLORSCHEME_DARK);
  }
  void TearDown() override {
    SetOpenGLSettingsKeyForTests(nullptr);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_Key.c_str());
    MainDialogFixture::TearDown();
  }
  void StoreOpenGLOption(int option) {
    OpenGLSettingsRecord settings;
    settings.m_OpenGLDrawingMode = option;
    ASSERT_TRUE(WriteOpenGLRegistryData(&settings));
  }
  int StoredOpenGLOption() {
    OpenGLSettingsRecord settings;
    ReadOpenGLRegistryData(&settings);
    return settings.storedDrawingMode;
  }

  StoredSchemeGuard m_SchemeGuard;
  std::wstring m_Key;
};

TEST_F(OptionsDialog, OkStoresTheChoicesShowsTheNoticeAndRecoloursTheMainDialog) {
  Open();
  ReportCapture capture;
  bool radiosExclusive = false, shownStored = false;
  {
    DialogHand hand([&](HWND dialog) {
      shownStored = Checked(dialog, IDC_OPENGL_COMPATIBILITY);
      ClickButton(dialog, IDC_OPENGL_SOFTWARE);
      ClickButton(dialog, IDC_OPENGL_FASTER);
      radiosExclusive = Checked(dialog, IDC_OPENGL_FASTER) && !Checked(dialog, IDC_OPENGL_SOFTWARE) &&
                        !Checked(dialog, IDC_OPENGL_COMPATIBILITY) && !Checked(dialog, IDC_OPENGL_QUALITY);
      ClickButton(dialog, IDC_THEME_LIGHT);
      ClickButton(dialog, IDC_OPTIONS_OK);
    });
    // F10 as the accelerator table delivers it to the main dialog.
    SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(ID_OPTIONS, 1), 0);
    EXPECT_TRUE(hand.found());
  }
  EXPECT_TRUE(shownStored) << "the dialog opens on the stored option";
  EXPECT_TRUE(radiosExclusive);
  EXPECT_EQ(StoredOpenGLOption(), OPTIMIZE_FOR_SPEED);
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].title, kTitle);
  EXPECT_EQ(capture.Boxes()[0].text,
            "The OpenGL drawing setting you have chosen, 'Optimize for faster "
            "display', will take effect the next time the "
            "plug-in is started.");
  EXPECT_EQ(capture.Boxes()[0].style & MB_ICONMASK, UINT(MB_ICONINFORMATION));
  EXPECT_EQ(StoredScheme(), DWORD(COLORSCHEME_LIGHT));
  Pump();  // the main dialog takes the posted scheme change
  EXPECT_EQ(GetCurrentColorScheme(), uint32_t(COLORSCHEME_LIGHT));
  EXPECT_EQ(GetSchemeColor(SCHEMECOLOR_BACKGROUND), COLORREF(0xB8B8B8));
}

TEST_F(OptionsDialog, CancelAndUnchangedChoicesStoreNothingAndShowNoNotice) {
  Open();
  ReportCapture capture;
  {
    DialogHand hand([](HWND dialog) {
      ClickButton(dialog, IDC_OPENGL_QUALITY);
      ClickButton(dialog, IDC_THEME_VERY_DARK);
      ClickButton(dialog, IDC_OPTIONS_CANCEL);
    });
    SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(IDC_CONFIGURE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(m_Dialog, IDC_CONFIGURE)));
    EXPECT_TRUE(hand.found());
  }
  EXPECT_EQ(StoredOpenGLOption(), OPTIMIZE_FOR_COMPATIBILITY);
  EXPECT_EQ(StoredScheme(), DWORD(COLORSCHEME_DARK));
  {
    // Choosing again what is stored is no change.
    DialogHand hand([](HWND dialog) {
      ClickButton(dialog, IDC_OPENGL_QUALITY);
      ClickButton(dialog, IDC_OPENGL_COMPATIBILITY);
      ClickButton(dialog, IDC_THEME_DARK);
      ClickButton(dialog, IDC_OPTIONS_OK);
    });
    EXPECT_TRUE(OpenOptionsDialog(nullptr));
  }
  EXPECT_TRUE(capture.Boxes().empty()) << capture.Boxes()[0].text;
  EXPECT_EQ(StoredOpenGLOption(), OPTIMIZE_FOR_COMPATIBILITY);
  EXPECT_EQ(GetCurrentColorScheme(), uint32_t(COLORSCHEME_DARK));
}

TEST_F(OptionsDialog, EachOptionHasItsNoticeAndTheSystemSchemeFollowsWindows) {
  char text[256];
  const std::pair<int, const char *> notices[] = {
      {OPTIMIZE_FOR_QUALITY, ", 'Optimize for better display quality',"},
      {OPTIMIZE_FOR_SPEED, ", 'Optimize for faster display',"},
      {OPTIMIZE_FOR_COMPATIBILITY, ", 'Optimize for greater compatibility',"},
      {OPTIMIZE_NONE, ", 'Use Software Rendering',"},
  };
  for (const auto &notice : notices) {
    OpenGLNoticeText(notice.first, text, sizeof text);
    EXPECT_EQ(std::string(text), std::string("The OpenGL drawing setting you have chosen") + notice.second +
                                     " will take effect the next time the plug-in is started.");
  }
  OpenGLNoticeText(OPTIMIZE_UNSET, text, sizeof text);
  EXPECT_STREQ(text, "");

  ReportCapture capture;
  CommitOptions(OptionsChoice{OPTIMIZE_NONE, COLORSCHEME_DARK}, OptionsChoice{OPTIMIZE_NONE, COLORSCHEME_SYSTEM_LIGHT},
                nullptr);
  EXPECT_EQ(StoredScheme(), DWORD(COLORSCHEME_SYSTEM_LIGHT));
  EXPECT_LT(GetCurrentColorScheme(), uint32_t(COLORSCHEME_VERY_DARK));
  EXPECT_EQ(GetSchemeColor(SCHEMECOLOR_BACKGROUND), GetSysColor(COLOR_BTNFACE));
  // Light and dark Windows colours are both "System": switching between them is
  // no change.
  CommitOptions(OptionsChoice{OPTIMIZE_NONE, COLORSCHEME_SYSTEM_DARK},
                OptionsChoice{OPTIMIZE_NONE, COLORSCHEME_SYSTEM_LIGHT}, nullptr);
  EXPECT_TRUE(capture.Boxes().empty());
  // The scheme persists: the next load reads it back.
  ApplyColorScheme(COLORSCHEME_VERY_DARK);
  LoadColorScheme();
  EXPECT_LT(GetCurrentColorScheme(), uint32_t(COLORSCHEME_VERY_DARK));
}

TEST_F(OptionsDialog, ThemeButtonsAreDrawnInTheirSchemesColours) {
  COLORREF faces[5] = {};
  COLORREF boxes[5] = {};
  {
    DialogHand hand([&](HWND dialog) {
      const int buttons[5] = {IDC_THEME_SYSTEM, IDC_THEME_VERY_DARK, IDC_THEME_DARK, IDC_THEME_LIGHT,
                              IDC_THEME_VERY_LIGHT};
      for (int i = 0; i < 5; ++i) {
        HWND button = GetDlgItem(dialog, buttons[i]);
        RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT r;
        GetClientRect(button, &r);
        HDC dc = GetDC(button);
        // Inside the 4-pixel margin and the frame, left of the value box: the
        // scheme's face.
        faces[i] = GetPixel(dc, 6, r.bottom / 2 - 6);
        // The value box at the lower right.
        boxes[i] = GetPixel(dc, 4 + (r.right - 8) * 76 / 100, 4 + (r.bottom - 8) * 60 / 100);
        ReleaseDC(button, dc);
      }
      ClickButton(dialog, IDC_OPTIONS_CANCEL);
    });
    OpenOptionsDialog(nullptr);
  }
  EXPECT_EQ(faces[0], GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(faces[1], COLORREF(0x343434));
  EXPECT_EQ(faces[2], COLORREF(0x585858));
  EXPECT_EQ(faces[3], COLORREF(0xB8B8B8));
  EXPECT_EQ(faces[4], COLORREF(0xD6D6D6));
  EXPECT_EQ(boxes[1], COLORREF(0x1E1E1E));
  EXPECT_EQ(boxes[3], COLORREF(0xEEEEEE));
  EXPECT_EQ(boxes[4], COLORREF(0xF4F4F4));
}
