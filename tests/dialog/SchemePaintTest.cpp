// The main dialog painted in each colour scheme as a user sees it on screen:
// the face, the group boxes' background and the value boxes, sampled at known
// places after the options dialog's message; and the System scheme following a
// changed Windows colour.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "ui/ColorScheme.h"
#include "ui/GroupBoxes.h"
#include "ui/MainDialogFixture.h"

namespace {

COLORREF BrushColor(HBRUSH brush) {
  LOGBRUSH logical{};
  GetObjectW(brush, sizeof logical, &logical);
  return logical.lbColor;
}

}  // namespace

class SchemePaint : public MainDialogFixture {
 protected:
  void TearDown() override {
    ApplyColorScheme(COLORSCHEME_DARK);
    MainDialogFixture::TearDown();
  }
  // The dialog in front and painted; the colour on screen at a point of its
  // client area.
  COLORREF ScreenColor(POINT client) {
    SetWindowPos(m_Dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(m_Dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    ClientToScreen(m_Dialog, &client);
    HDC screen = GetDC(nullptr);
    COLORREF color = GetPixel(screen, client.x, client.y);
    ReleaseDC(nullptr, screen);
    return color;
  }
  // Just above the OK button: the dialog's face, with no control over it.
  POINT FacePoint() {
    RECT ok = ChildRect(IDOK);
    return POINT{(ok.left + ok.right) / 2, ok.top - 3};
  }
  void ChangeScheme(uint32_t scheme) {
    // As the options dialog tells an open main dialog.
    PostMessageW(m_Dialog, WM_APP_COLOR_SCHEME_CHANGED, scheme, 1);
    Pump();
  }
};

TEST_F(SchemePaint, EachPresetPaintsItsTableColours) {
  Open();
  struct Expected {
    uint32_t scheme;
    COLORREF face, valueBox;
  };
  const Expected presets[] = {
      {COLORSCHEME_VERY_DARK, 0x343434, 0x1E1E1E},
      {COLORSCHEME_DARK, 0x585858, 0x3A3A3A},
      {COLORSCHEME_LIGHT, 0xB8B8B8, 0xEEEEEE},
      {COLORSCHEME_VERY_LIGHT, 0xD6D6D6, 0xF4F4F4},
  };
  for (const Expected &preset : presets) {
    ChangeScheme(preset.scheme);
    ASSERT_EQ(GetCurrentColorScheme(), preset.scheme);
    EXPECT_EQ(ScreenColor(FacePoint()), preset.face) << "face in scheme " << preset.scheme;
    EXPECT_EQ(BrushColor(GetGroupBoxBrush()), preset.face) << "group boxes in scheme " << preset.scheme;
    // The value box away from the focus, near its left edge where no digit is
    // drawn.
    RECT box = ChildRect(IDC_INTENSITY_VALUE);
    EXPECT_EQ(ScreenColor(POINT{box.left + 2, box.bottom - 3}), preset.valueBox)
        << "value box in scheme " << preset.scheme;
  }
}

TEST_F(SchemePaint, TheSystemSchemeFollowsAChangedWindowsColour) {
  Open();
  ChangeScheme(COLORSCHEME_SYSTEM_LIGHT);
  const COLORREF original = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(ScreenColor(FacePoint()), original);
  // A light face that is not the usual grey; then a dark one, which switches to
  // the dark variant.
  const COLORREF changes[] = {RGB(0xE0, 0xD0, 0xC0), RGB(0x30, 0x28, 0x20)};
  for (COLORREF changed : changes) {
    INT element = COLOR_BTNFACE;
    ASSERT_TRUE(SetSysColors(1, &element, &changed));
    SendMessageW(m_Dialog, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return ScreenColor(FacePoint()) == changed; }, 5000))
        << std::hex << "face shows " << ScreenColor(FacePoint()) << " after Windows changed to " << changed;
  }
  EXPECT_EQ(GetCurrentColorScheme(), uint32_t(COLORSCHEME_SYSTEM_DARK))
      << "a dark Windows face selects the dark System scheme";
  INT element = COLOR_BTNFACE;
  SetSysColors(1, &element, &original);
}
