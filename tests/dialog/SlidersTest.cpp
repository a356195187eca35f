// The panel's controls at the message level in the real dialog: typing into value boxes (decimals,
// clamping, refused characters, Tab), the arrow and page keys with Ctrl and repeat counts, the
// track bar's jump-click and double-click reset, the effect selector, Effects Only, the settings
// selector's re-check, showing rows per control set, the tips and the icons of each scheme.
//
// Sections: helpers; value boxes; keys; track bars; selectors and check box; sets, tips, schemes.
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "support/ModuleInstance.h"
#include "ui/ColorScheme.h"
#include "ui/ControlSets.h"
#include "ui/EditorSliderValues.h"
#include "ui/EffectSelector.h"
#include "ui/MainDialogFixture.h"
#include "ui/SettingsSelectorControl.h"
#include "ui/SliderTable.h"
#include "ui/Sliders.h"
#include "ui/ToolTips.h"

namespace {

constexpr int kQuantity = 0, kAngle = 3, kPoints = 4, kHorizontal = 16;

// The pixels of an icon's colour image, to tell two drawings apart whatever their handles.
std::vector<DWORD> IconPixels(HICON icon) {
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return {};
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = bitmap.bmWidth;
  header.bmiHeader.biHeight = -bitmap.bmHeight;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels(size_t(bitmap.bmWidth) * size_t(bitmap.bmHeight));
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, info.hbmColor, 0, UINT(bitmap.bmHeight), pixels.data(), &header, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels;
}

// Reads the state of "Delete Settings" in the open settings menu from inside the menu's own loop,
// then closes the menu.
UINT gDeleteItemState = 0xFFFFFFFF;
void CALLBACK ReadMenuAndClose(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  HWND popup = FindWindowW(L"#32768", nullptr);
  HMENU menu = popup != nullptr ? reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0)) : nullptr;
  if (menu != nullptr) gDeleteItemState = GetMenuState(menu, ID_SETTINGS_DELETE, MF_BYCOMMAND);
  EndMenu();
}

// A pixel of what a control paints into a bitmap of its own.
COLORREF PrintedPixel(HWND control, POINT at) {
  RECT client{};
  GetClientRect(control, &client);
  HDC screen = GetDC(control);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
  COLORREF pixel = GetPixel(memory, at.x, at.y);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(control, screen);
  return pixel;
}

class Sliders : public MainDialogFixture {
 protected:
  void SetUp() override {
    MainDialogFixture::SetUp();
    gEditorSliderValues = EditorSliderValues{{50, 0, 0, 0, 0, 0}};
    Open();
  }
  void TearDown() override {
    SetKeys(false);
    MainDialogFixture::TearDown();
  }
  HWND Box(int row) const { return GetDlgItem(m_Dialog, kSliderRows[row].valueBox); }
  HWND Track(int row) const { return GetDlgItem(m_Dialog, kSliderRows[row].trackBar); }
  int TrackPosition(int row) const { return int(SendMessageW(Track(row), TBM_GETPOS, 0, 0)); }
  std::wstring BoxText(int row) const { return Text(kSliderRows[row].valueBox); }
  void Focus(HWND control) {
    SendMessageW(m_Dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    Pump();
  }
  // Typing as the keyboard delivers characters: select everything, then one WM_CHAR a character.
  void Type(int row, const wchar_t* text) {
    Focus(Box(row));
    SendMessageW(Box(row), EM_SETSEL, 0, -1);
    for (const wchar_t* c = text; *c != 0; ++c) SendMessageW(Box(row), WM_CHAR, *c, 1);
    Pump();
  }
  void LeaveBox() { Focus(GetDlgItem(m_Dialog, IDOK)); }
  void SetKeys(bool ctrl) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    SetKeyboardState(keys);
  }
  void Key(int row, WORD key, int repeat = 1, bool ctrl = false) {
    Focus(Box(row));
    SetKeys(ctrl);
    SendMessageW(Box(row), WM_KEYDOWN, key, LPARAM(repeat & 0xFFFF));
    SetKeys(false);
    Pump();
  }
  // A click with the thumb's centre at `fraction` of the channel (0 its left end, 1 its right).
  POINT ChannelPoint(int row, double fraction) const {
    RECT channel{}, thumb{};
    SendMessageW(Track(row), TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    SendMessageW(Track(row), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    int width = thumb.right - thumb.left;
    int usable = channel.right - channel.left - width;
    return POINT{channel.left + width / 2 + int(fraction * usable + 0.5), (thumb.top + thumb.bottom) / 2};
  }
  POINT ThumbCentre(int row) const {
    RECT thumb{};
    SendMessageW(Track(row), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    return POINT{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
  }
  void Mouse(int row, UINT message, POINT at) {
    SendMessageW(Track(row), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(at.x, at.y));
    Pump();
  }
  void ClickTrack(int row, POINT at) {
    Mouse(row, WM_LBUTTONDOWN, at);
    Mouse(row, WM_LBUTTONUP, at);
  }
  void ChooseFromList(int list, int item) {
    SendDlgItemMessageW(m_Dialog, list, CB_SETCURSEL, WPARAM(item), 0);
    SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(m_Dialog, list)));
    Pump();
  }
  bool DeleteSettingsGreyed() {
    gDeleteItemState = 0xFFFFFFFF;
    SetTimer(m_Dialog, 1, 50, ReadMenuAndClose);
    SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_MENU, STN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(m_Dialog, IDC_SETTINGS_MENU)));
    EXPECT_NE(gDeleteItemState, 0xFFFFFFFFu) << "the settings menu did not open";
    return gDeleteItemState != 0xFFFFFFFF && (gDeleteItemState & MF_GRAYED) != 0;
  }
  int ShownSettingsItem() const { return int(SendDlgItemMessageW(m_Dialog, IDC_SETTINGS_SELECTOR, CB_GETCURSEL, 0, 0)); }
};

}  // namespace

// --- value boxes ----------------------------------------------------------------------------------

// A dialog opening costs seconds under Wine, so each test carries several related checks.
TEST_F(Sliders, ValueBoxesShowTheirValuesAndTakeOnlyNumbersClampedTruncatedAndWithoutTab) {
  for (int row = 0; row < kFirstEditorRow; ++row) {
    EXPECT_EQ(TrackPosition(row), kSliderRows[row].defaultValue) << kSliderRows[row].name;
  }
  EXPECT_EQ(BoxText(kQuantity), L"50");
  EXPECT_EQ(BoxText(kAngle), L"0.0");
  EXPECT_EQ(BoxText(kHorizontal), L"0.00");
  EXPECT_EQ(int(SendMessageW(Track(kAngle), TBM_GETPAGESIZE, 0, 0)), 100);

  Type(kAngle, L"12.345");
  EXPECT_EQ(m_Block.angle, 123);
  EXPECT_EQ(TrackPosition(kAngle), 123) << "the track bar follows the typing";
  EXPECT_EQ(BoxText(kAngle), L"12.345") << "the box keeps what is typed while it has the focus";
  LeaveBox();
  EXPECT_EQ(BoxText(kAngle), L"12.3");

  Type(kQuantity, L"150");
  EXPECT_EQ(m_Block.quantity, 100);
  LeaveBox();
  EXPECT_EQ(BoxText(kQuantity), L"100");
  Type(7, L"-250");
  EXPECT_EQ(m_Block.colorSaturation, -100);

  Type(kQuantity, L"4x2");
  EXPECT_EQ(m_Block.quantity, 42) << "the letter is refused";
  LeaveBox();
  EXPECT_EQ(BoxText(kQuantity), L"42");
  Type(kAngle, L"--5");
  EXPECT_EQ(m_Block.angle, 123) << "'-' and '--5' are no number: the value stays";
  Type(kAngle, L"99999999");
  EXPECT_EQ(m_Block.angle, 1800);
  LeaveBox();
  EXPECT_EQ(BoxText(kAngle), L"180.0");

  Type(kQuantity, L"80\t");
  EXPECT_EQ(BoxText(kQuantity), L"80");
  EXPECT_EQ(m_Block.quantity, 80);
  EXPECT_NE(GetFocus(), Box(kQuantity)) << "Tab moved the focus on";
  EXPECT_EQ(SendMessageW(Box(kQuantity), WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB, 0) << "the dialog, not the box, takes Tab";
}

TEST_F(Sliders, EditorRowsTakeTypedValuesAndStepKeysIntoTheEditorsValues) {
  ASSERT_TRUE(SelectControlSet(CTLSET_EDIT_COLOR));
  Pump();
  Type(kHorizontal, L"-3.5");
  EXPECT_EQ(gEditorSliderValues.values[4], -350);
  Type(12, L"75");
  EXPECT_EQ(gEditorSliderValues.values[0], 75);
  EXPECT_EQ(m_Block.quantity, 50) << "the editor's rows leave the parameters alone";
  Type(kHorizontal, L"0");
  Key(kHorizontal, VK_UP);
  EXPECT_EQ(gEditorSliderValues.values[4], 25) << "Up alone moves 0.25";
  EXPECT_EQ(BoxText(kHorizontal), L"0.25");
  Key(kHorizontal, VK_UP, 1, true);
  EXPECT_EQ(gEditorSliderValues.values[4], 275) << "Ctrl+Up moves 2.50";
  EXPECT_EQ(BoxText(kHorizontal), L"2.75");
  Key(kHorizontal, VK_DOWN, 2, true);
  EXPECT_EQ(gEditorSliderValues.values[4], -225);
}

// --- keys -----------------------------------------------------------------------------------------

TEST_F(Sliders, PageKeysStepByThePageTimesTheRepeatCountAndStopAtTheEnds) {
  Key(kAngle, VK_PRIOR, 3);
  EXPECT_EQ(m_Block.angle, 300);
  EXPECT_EQ(BoxText(kAngle), L"30.0");
  Key(kAngle, VK_NEXT, 40);
  EXPECT_EQ(m_Block.angle, -1800);
  Key(kPoints, VK_UP, 5, true);
  EXPECT_EQ(m_Block.numberOfPoints, 16) << "Ctrl step 2, five strokes";
  Key(kQuantity, VK_DOWN, 3);
  EXPECT_EQ(m_Block.quantity, 47);
}

// --- track bars -----------------------------------------------------------------------------------

TEST_F(Sliders, JumpClicksFollowTheFormulaAndADoubleClickOnAnUnmovedThumbResets) {
  for (int row : {kQuantity, kAngle, kPoints}) {
    const SliderRow& table = kSliderRows[row];
    ClickTrack(row, ChannelPoint(row, 0.0));
    EXPECT_EQ(GetSliderValue(row), table.minimum) << table.name;
    ClickTrack(row, ChannelPoint(row, 1.0));
    EXPECT_EQ(GetSliderValue(row), table.maximum) << table.name;
    ClickTrack(row, ChannelPoint(row, 0.5));
    int middle = (table.minimum + table.maximum) / 2;
    EXPECT_NEAR(GetSliderValue(row), middle, (table.maximum - table.minimum) / 50 + 1) << table.name;
    EXPECT_EQ(TrackPosition(row), GetSliderValue(row)) << table.name;
    EXPECT_EQ(GetFocus(), Box(row)) << "the release hands the keyboard to the value box";
  }
  EXPECT_EQ(m_Block.quantity, GetSliderValue(kQuantity));

  // Star Burst brings 14 points, and the thumb's double-click returns to them.
  ChooseFromList(IDC_EFFECT_SELECTOR, 1);
  EXPECT_EQ(m_Block.effectType, uint32_t(EFFECT_STAR_BURST));
  EXPECT_EQ(m_Block.numberOfPoints, 14);
  EXPECT_EQ(BoxText(kPoints), L"14");
  Type(kPoints, L"20");
  ASSERT_EQ(m_Block.numberOfPoints, 20);
  POINT thumb = ThumbCentre(kPoints);
  Mouse(kPoints, WM_LBUTTONDOWN, thumb);
  Mouse(kPoints, WM_LBUTTONUP, thumb);
  Mouse(kPoints, WM_LBUTTONDBLCLK, thumb);
  Mouse(kPoints, WM_LBUTTONUP, thumb);
  EXPECT_EQ(m_Block.numberOfPoints, 14);
  EXPECT_EQ(BoxText(kPoints), L"14");

  // A double-click whose first click jumped the thumb is no reset.
  POINT quarter = ChannelPoint(kPoints, 0.25);
  Mouse(kPoints, WM_LBUTTONDOWN, quarter);
  Mouse(kPoints, WM_LBUTTONUP, quarter);
  int jumped = m_Block.numberOfPoints;
  ASSERT_NE(jumped, 14);
  Mouse(kPoints, WM_LBUTTONDBLCLK, ThumbCentre(kPoints));
  Mouse(kPoints, WM_LBUTTONUP, ThumbCentre(kPoints));
  EXPECT_EQ(m_Block.numberOfPoints, jumped);

  // A track bar too short for its thumb has no channel to jump along.
  HWND track = Track(kQuantity);
  RECT thumbRect{};
  SendMessageW(track, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumbRect));
  SetWindowPos(track, nullptr, 0, 0, thumbRect.right - thumbRect.left, 20, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  int before = m_Block.quantity;
  ClickTrack(kQuantity, POINT{1, 10});
  EXPECT_EQ(m_Block.quantity, before);
}

// --- selectors and check box ----------------------------------------------------------------------

TEST_F(Sliders, TheEffectListHoldsTheSevenStylesInOrderAndEffectsOnlyItsSwitch) {
  HWND list = GetDlgItem(m_Dialog, IDC_EFFECT_SELECTOR);
  ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 7);
  const wchar_t* names[] = {L"Standard Star", L"Star Burst", L"Hyper Star", L"Hollywood Star", L"North Star", L"Vector Star", L"Religious Cross"};
  const int points[] = {6, 14, 14, 4, 4, 8, 12};
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0) << "the current style is shown";
  for (int item = 6; item >= 0; --item) {
    wchar_t text[64] = {};
    SendMessageW(list, CB_GETLBTEXT, WPARAM(item), reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, names[item]);
    ChooseFromList(IDC_EFFECT_SELECTOR, item);
    EXPECT_EQ(m_Block.effectType, kEffectSelectorItems[item].type);
    EXPECT_EQ(m_Block.numberOfPoints, points[item]);
    EXPECT_EQ(GetSliderResetValue(kPoints), points[item]);
  }
  m_Block.effectType = EFFECT_NORTH_STAR;
  SendMessageW(m_Dialog, WM_APP_REFRESH_CONTROLS, 0, 0);
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 4) << "the list follows the parameters";

  CheckDlgButton(m_Dialog, IDC_EFFECTS_ONLY, BST_CHECKED);
  Click(IDC_EFFECTS_ONLY);
  EXPECT_EQ(m_Block.effectsOnly, 1);
  m_Block.effectsOnly = 0;
  SendMessageW(m_Dialog, WM_APP_REFRESH_CONTROLS, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(m_Dialog, IDC_EFFECTS_ONLY), UINT(BST_UNCHECKED));
}

TEST_F(Sliders, AChangeBlanksTheSettingsSelectorAndUndoingItSelectsTheEntryAgain) {
  Close();
  m_Block.quantity = 80;  // the dialog opens with other values than the factory's
  Open();
  EXPECT_EQ(ShownSettingsItem(), 1) << "Initial Settings at start";
  EXPECT_TRUE(DeleteSettingsGreyed()) << "with Initial Settings";
  ChooseFromList(IDC_SETTINGS_SELECTOR, 0);
  EXPECT_TRUE(DeleteSettingsGreyed()) << "with Default Settings";
  EXPECT_EQ(m_Block.quantity, 50) << "Default Settings loaded";
  EXPECT_EQ(BoxText(kQuantity), L"50") << "and every control refreshed";
  Key(kQuantity, VK_UP);
  EXPECT_EQ(ShownSettingsItem(), -1);
  EXPECT_TRUE(DeleteSettingsGreyed()) << "with no entry shown";
  Key(kQuantity, VK_DOWN);
  EXPECT_EQ(ShownSettingsItem(), 0);
  ChooseFromList(IDC_SETTINGS_SELECTOR, 1);
  EXPECT_EQ(m_Block.quantity, 80) << "Initial Settings holds the values the dialog opened with";
  EXPECT_EQ(TrackPosition(kQuantity), 80);
  Type(kAngle, L"5");
  EXPECT_EQ(ShownSettingsItem(), -1) << "typing is a change too";
}

// --- sets, tips, schemes --------------------------------------------------------------------------

TEST_F(Sliders, EachSetShowsItsRowsEveryControlCarriesItsTipAndIconsFollowTheScheme) {
  auto visible = [&](int id) { return IsWindowVisible(GetDlgItem(m_Dialog, id)) != FALSE; };
  auto enabled = [&](int id) { return IsWindowEnabled(GetDlgItem(m_Dialog, id)) != FALSE; };
  ASSERT_TRUE(SelectControlSet(CTLSET_EDIT_GRAY));
  Pump();
  for (int row = 0; row < kSliderRowCount; ++row) {
    bool shown = row == 12 || row == 16 || row == 17;
    EXPECT_EQ(visible(kSliderRows[row].trackBar), shown) << kSliderRows[row].name;
    EXPECT_EQ(enabled(kSliderRows[row].valueBox), shown) << kSliderRows[row].name;
    EXPECT_EQ(visible(kSliderRows[row].label), shown) << kSliderRows[row].name;
  }
  EXPECT_FALSE(visible(IDC_EFFECT_SELECTOR));
  EXPECT_FALSE(visible(IDC_SETTINGS_SELECTOR));
  EXPECT_TRUE(visible(IDC_EFFECTS_ONLY));
  ASSERT_TRUE(SelectControlSet(CTLSET_EDIT_COLOR));
  for (int row = 12; row < kSliderRowCount; ++row) EXPECT_TRUE(visible(kSliderRows[row].trackBar)) << kSliderRows[row].name;
  ASSERT_TRUE(SelectControlSet(CTLSET_MAIN));
  Pump();
  for (int row = 0; row < kSliderRowCount; ++row) EXPECT_EQ(visible(kSliderRows[row].valueBox), row < kFirstEditorRow);
  EXPECT_TRUE(visible(IDC_EFFECT_SELECTOR));
  EXPECT_EQ(SendDlgItemMessageW(m_Dialog, IDC_EFFECT_SELECTOR, CB_GETCOUNT, 0, 0), 7) << "the list is filled again";

  auto tipOf = [&](int id) {
    wchar_t text[512] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_Dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(m_Dialog, id));
    tool.lpszText = text;
    SendMessageW(GetToolTipControl(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    return std::wstring(text);
  };
  for (const SliderRow& row : kSliderRows) {
    for (int id : {int(row.valueBox), row.leftIcon, row.rightIcon, row.label}) EXPECT_EQ(tipOf(id), row.textTip) << id;
    EXPECT_EQ(tipOf(row.trackBar), row.trackTip) << row.name;
  }
  EXPECT_EQ(tipOf(IDC_EFFECTS_ONLY), L"Effects Only (O) - Check to output the effects only, excluding the original image");
  EXPECT_EQ(tipOf(IDC_EFFECT_SELECTOR), L"Effect (:) - Select the type of Star Effect to apply to the image.");
  EXPECT_EQ(tipOf(IDC_SETTINGS_SELECTOR), L"Settings (T) - Select a set of saved parameters");
  EXPECT_EQ(tipOf(IDC_SETTINGS_MENU), L"Menu (M) - Save, load, or delete the current parameter set");

  uint32_t saved = GetCurrentColorScheme();
  for (uint32_t requested = COLORSCHEME_SYSTEM_LIGHT; requested < COLORSCHEME_COUNT; ++requested) {
    SendMessageW(m_Dialog, WM_APP_COLOR_SCHEME_CHANGED, requested, 1);
    Pump();
    uint32_t scheme = GetCurrentColorScheme();  // a System request becomes light or dark by Windows' colours
    for (int row = 0; row < kSliderRowCount; ++row) {
      const SliderRow& table = kSliderRows[row];
      for (auto [control, image] : {std::pair{table.leftIcon, table.leftImages[scheme]}, std::pair{table.rightIcon, table.rightImages[scheme]}}) {
        HICON shown = reinterpret_cast<HICON>(SendDlgItemMessageW(m_Dialog, control, STM_GETICON, 0, 0));
        RECT size{};
        GetClientRect(GetDlgItem(m_Dialog, control), &size);
        HICON expected = static_cast<HICON>(LoadImageW(GetPluginInstance(), MAKEINTRESOURCEW(image), IMAGE_ICON, size.right, size.bottom, 0));
        EXPECT_EQ(IconPixels(shown), IconPixels(expected)) << table.name << " scheme " << scheme;
        DestroyIcon(expected);
      }
    }
    EXPECT_EQ(int(SendMessageW(Track(kAngle), TBM_GETRANGEMAX, 0, 0)), 1800);
    EXPECT_EQ(TrackPosition(kAngle), 0);
    // The track bar paints its thumb and channel in the scheme's colours.
    RECT thumb{}, channel{};
    SendMessageW(Track(kAngle), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    SendMessageW(Track(kAngle), TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    EXPECT_EQ(PrintedPixel(Track(kAngle), POINT{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2}),
              GetSchemeColor(SCHEMECOLOR_3D_HIGHLIGHT)) << "scheme " << scheme;
    EXPECT_EQ(PrintedPixel(Track(kAngle), POINT{channel.left + 2, (channel.top + channel.bottom) / 2}),
              GetSchemeColor(SCHEMECOLOR_VALUE_BACKGROUND)) << "scheme " << scheme;
  }
  ApplyColorScheme(saved);
}
