// The main dialog painted in each colour scheme as a user sees it on screen:
// the face, the group boxes' background, the value boxes, the custom-drawn track
// bars (channel, thumb, the thumb with the focus) and check boxes (box, check
// mark, label), sampled at known places after the options dialog's message; and
// the System scheme following a changed Windows colour.
//
// Sections: the colours of a scheme by role and the screenshot record; the
// fixture (opening as the host does, capturing, the places sampled); the tests.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

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

// The colours a scheme paints with, by role. The System schemes take them from
// Windows: entries 0-30 are the system colours of the same number, the value
// box's background borrows COLOR_WINDOW, the light frame COLOR_3DHIGHLIGHT and
// the dark frame COLOR_3DSHADOW.
struct SchemeColours {
  uint32_t scheme;
  COLORREF face, text, valueBox, lightFrame, darkFrame, raised, highlight;
};

SchemeColours FromWindows(uint32_t scheme) {
  return SchemeColours{scheme,
                       GetSysColor(COLOR_BTNFACE),
                       GetSysColor(COLOR_WINDOWTEXT),
                       GetSysColor(COLOR_WINDOW),
                       GetSysColor(COLOR_3DHIGHLIGHT),
                       GetSysColor(COLOR_3DSHADOW),
                       GetSysColor(COLOR_3DHIGHLIGHT),
                       GetSysColor(COLOR_HIGHLIGHT)};
}

// A dark Windows face with roles that differ from every preset's, so that the
// dark System scheme cannot pass with a preset's colours.
constexpr int kDarkWindowsElements[] = {COLOR_BTNFACE, COLOR_WINDOWTEXT,  COLOR_WINDOW,
                                        COLOR_3DSHADOW, COLOR_3DHIGHLIGHT, COLOR_HIGHLIGHT};
constexpr COLORREF kDarkWindowsColours[] = {RGB(0x30, 0x28, 0x20), RGB(0xE8, 0xE0, 0x10), RGB(0x10, 0x20, 0x48),
                                            RGB(0x08, 0x10, 0x18), RGB(0x70, 0x60, 0x90), RGB(0xC0, 0x30, 0x30)};
static_assert(std::size(kDarkWindowsElements) == std::size(kDarkWindowsColours));

// The dialog's client area as the screen shows it.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(POINT p) const {
    if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) return CLR_INVALID;
    return pixels[size_t(p.y) * size_t(width) + size_t(p.x)];
  }
  int CountIn(const RECT& area, COLORREF color) const {
    int count = 0;
    for (LONG y = area.top; y < area.bottom; ++y)
      for (LONG x = area.left; x < area.right; ++x) count += At(POINT{x, y}) == color ? 1 : 0;
    return count;
  }
};

}  // namespace

class SchemePaint : public MainDialogFixture {
 protected:
  void TearDown() override {
    RestoreWindowsColours();
    ApplyColorScheme(COLORSCHEME_DARK);
    MainDialogFixture::TearDown();
    if (m_Context != INVALID_HANDLE_VALUE) ReleaseActCtx(m_Context);
  }
  // The dialog as the host shows it: made inside the version 6 common
  // controls, whose buttons send the custom-draw notices that the panel's
  // check boxes are drawn by (the older buttons draw themselves).
  void OpenAsTheHostDoes() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(GetPluginInstance(), path, MAX_PATH);
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path;
    context.hModule = GetPluginInstance();
    context.lpResourceName = MAKEINTRESOURCEW(IDR_MANIFEST_V6);
    m_Context = CreateActCtxW(&context);
    ASSERT_NE(m_Context, INVALID_HANDLE_VALUE) << GetLastError();
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(m_Context, &cookie));
    Open();
    DeactivateActCtx(0, cookie);
  }
  void RestoreWindowsColours() {
    if (m_SavedColours.empty()) return;
    SetSysColors(int(m_SavedColours.size()), kDarkWindowsElements, m_SavedColours.data());
    m_SavedColours.clear();
  }
  void SetDarkWindowsColours() {
    for (int element : kDarkWindowsElements) m_SavedColours.push_back(GetSysColor(element));
    ASSERT_TRUE(SetSysColors(int(std::size(kDarkWindowsElements)), kDarkWindowsElements, kDarkWindowsColours));
    SendMessageW(m_Dialog, WM_SYSCOLORCHANGE, 0, 0);
    Pump();
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
  Screenshot CaptureClient() {
    SetWindowPos(m_Dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(m_Dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    Screenshot shot;
    RECT client{};
    GetClientRect(m_Dialog, &client);
    POINT origin{0, 0};
    ClientToScreen(m_Dialog, &origin);
    shot.width = client.right;
    shot.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), shot.width, -shot.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    uint32_t *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits), nullptr, 0);
    if (bitmap != nullptr) {
      HGDIOBJ previous = SelectObject(memory, bitmap);
      BitBlt(memory, 0, 0, shot.width, shot.height, screen, origin.x, origin.y, SRCCOPY);
      GdiFlush();
      for (int i = 0; i < shot.width * shot.height; ++i)
        shot.pixels.push_back(RGB((bits[i] >> 16) & 0xFF, (bits[i] >> 8) & 0xFF, bits[i] & 0xFF));
      SelectObject(memory, previous);
      DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
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
  // A rectangle a track bar reports in its own client coordinates, in the
  // dialog's.
  RECT TrackPart(int id, UINT message) {
    RECT part{};
    HWND track = GetDlgItem(m_Dialog, id);
    SendMessageW(track, message, 0, reinterpret_cast<LPARAM>(&part));
    MapWindowPoints(track, m_Dialog, reinterpret_cast<POINT *>(&part), 2);
    return part;
  }
  // The square of a panel check box: as tall as the system's check box, at the
  // control's left, centred on its height.
  RECT CheckSquare(int id) {
    RECT control = ChildRect(id);
    int side = GetSystemMetrics(SM_CYMENUCHECK);
    if (side <= 0 || side > control.bottom - control.top) side = control.bottom - control.top;
    int top = control.top + (control.bottom - control.top - side) / 2;
    return RECT{control.left, top, control.left + side, top + side};
  }
  // Every place sampled, with what it shows and what the scheme's table wants
  // there; empty when all agree.
  std::string Mismatches(const Screenshot &shot, const SchemeColours &want) {
    std::ostringstream out;
    out << std::hex;
    auto expect = [&](const char *what, POINT at, COLORREF wanted) {
      COLORREF shown = shot.At(at);
      if (shown != wanted) out << "  " << what << " at (" << std::dec << at.x << "," << at.y << std::hex << ") shows " << shown << ", not " << wanted << "\n";
    };
    expect("face", FacePoint(), want.face);
    // The value box away from the focus, near its left edge where no digit is
    // drawn.
    RECT box = ChildRect(IDC_INTENSITY_VALUE);
    expect("value box", POINT{box.left + 2, box.bottom - 3}, want.valueBox);

    // A track bar's channel, sampled at the end away from its thumb: sunken,
    // dark frame above, light frame below, the value box's colour between.
    RECT channel = TrackPart(IDC_INTENSITY_TRACK, TBM_GETCHANNELRECT);
    RECT thumb = TrackPart(IDC_INTENSITY_TRACK, TBM_GETTHUMBRECT);
    LONG x = (thumb.left + thumb.right) / 2 > (channel.left + channel.right) / 2 ? channel.left + 3 : channel.right - 4;
    expect("channel's top edge", POINT{x, channel.top}, want.darkFrame);
    expect("channel's left edge", POINT{channel.left, (channel.top + channel.bottom) / 2}, want.darkFrame);
    expect("channel's bottom edge", POINT{x, channel.bottom - 1}, want.lightFrame);
    if (channel.bottom - channel.top >= 3) expect("channel", POINT{x, channel.top + 1}, want.valueBox);
    expect("thumb", POINT{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2}, want.raised);
    expect("thumb's frame", POINT{thumb.left, (thumb.top + thumb.bottom) / 2}, want.darkFrame);
    RECT focusedThumb = TrackPart(IDC_LENGTH_TRACK, TBM_GETTHUMBRECT);
    expect("thumb with the focus",
           POINT{(focusedThumb.left + focusedThumb.right) / 2, (focusedThumb.top + focusedThumb.bottom) / 2},
           want.highlight);

    // The check boxes: "&Preview" checked, "Effects &Only" not.
    for (int id : {IDC_PREVIEW_CHECK, IDC_EFFECTS_ONLY}) {
      const bool checked = id == IDC_PREVIEW_CHECK;
      const char *name = checked ? "\"Preview\"" : "\"Effects Only\"";
      RECT square = CheckSquare(id);
      RECT inside{square.left + 1, square.top + 1, square.right - 1, square.bottom - 1};
      expect((std::string(name) + " box's top edge").c_str(), POINT{(square.left + square.right) / 2, square.top}, want.darkFrame);
      expect((std::string(name) + " box's bottom edge").c_str(), POINT{(square.left + square.right) / 2, square.bottom - 1},
             want.lightFrame);
      // The tick runs from the left middle to the top right: the bottom right
      // corner of the box is clear of it.
      expect((std::string(name) + " box").c_str(), POINT{inside.right - 2, inside.bottom - 2}, want.valueBox);
      const int area = (inside.right - inside.left) * (inside.bottom - inside.top);
      const int mark = shot.CountIn(inside, want.text), clear = shot.CountIn(inside, want.valueBox);
      if (checked && mark < inside.right - inside.left) out << "  " << name << ": a check mark of " << mark << " pixels\n";
      if (!checked && mark != 0) out << "  " << name << ": " << mark << " pixels of a check mark while unchecked\n";
      if (mark + clear != area) out << "  " << name << ": " << area - mark - clear << " pixels in the box are neither mark nor box\n";
      RECT control = ChildRect(id);
      RECT label{square.right + 4, control.top, control.right, control.bottom};
      int written = shot.CountIn(label, want.text);
      if (written < 8) out << "  " << name << ": " << written << " pixels of the label in the text colour\n";
      expect((std::string(name) + " beside its box").c_str(), POINT{square.right + 1, (square.top + square.bottom) / 2}, want.face);
    }
    return out.str();
  }
  // The Length track bar holds the focus, so that its thumb shows the
  // highlight. Another process's window may take the activation, and with it
  // the focus, while the test runs: it is given back before each capture.
  void GiveLengthTrackTheFocus() {
    SetForegroundWindow(m_Dialog);
    SetFocus(GetDlgItem(m_Dialog, IDC_LENGTH_TRACK));
    Pump();
  }
  // The screen settles within the limit, or the last capture's mismatches are
  // the failure.
  void ExpectPaintedIn(const SchemeColours &want) {
    std::string mismatches;
    WaitUntil(
        [&] {
          GiveLengthTrackTheFocus();
          return (mismatches = Mismatches(CaptureClient(), want)).empty();
        },
        3000);
    EXPECT_EQ(mismatches, "") << "scheme " << want.scheme;
    EXPECT_EQ(BrushColor(GetGroupBoxBrush()), want.face) << "group boxes in scheme " << want.scheme;
  }

  std::vector<COLORREF> m_SavedColours;
  HANDLE m_Context = INVALID_HANDLE_VALUE;
};

TEST_F(SchemePaint, EachSchemePaintsItsTableColours) {
  OpenAsTheHostDoes();
  ASSERT_EQ(IsDlgButtonChecked(m_Dialog, IDC_PREVIEW_CHECK), UINT(BST_CHECKED));
  ASSERT_EQ(IsDlgButtonChecked(m_Dialog, IDC_EFFECTS_ONLY), UINT(BST_UNCHECKED));
  //                      scheme                   face      text      value box light     dark      thumb     highlight
  const SchemeColours presets[] = {
      {COLORSCHEME_VERY_DARK,  0x343434, 0xD0D0D0, 0x1E1E1E, 0x909090, 0x191919, 0x454545, 0xFF9933},
      {COLORSCHEME_DARK,       0x585858, 0xFFFFFF, 0x3A3A3A, 0xB0B0B0, 0x282828, 0x666666, 0xFF9933},
      {COLORSCHEME_LIGHT,      0xB8B8B8, 0x000000, 0xEEEEEE, 0xF0F0F0, 0x6C6C6C, 0xAAAAAA, 0xFF9933},
      {COLORSCHEME_VERY_LIGHT, 0xD6D6D6, 0x000000, 0xF4F4F4, 0xFFFFFF, 0x939393, 0xCCCCCC, 0xFF9933},
  };
  for (const SchemeColours &preset : presets) {
    ChangeScheme(preset.scheme);
    ASSERT_EQ(GetCurrentColorScheme(), preset.scheme);
    ExpectPaintedIn(preset);
  }
  // The System scheme with Windows' own colours, then with a dark Windows face,
  // which selects its dark variant.
  ChangeScheme(COLORSCHEME_SYSTEM_LIGHT);
  ASSERT_EQ(GetCurrentColorScheme(), uint32_t(COLORSCHEME_SYSTEM_LIGHT)) << "Windows starts with a light face";
  ExpectPaintedIn(FromWindows(COLORSCHEME_SYSTEM_LIGHT));
  SetDarkWindowsColours();
  ASSERT_EQ(GetCurrentColorScheme(), uint32_t(COLORSCHEME_SYSTEM_DARK));
  ExpectPaintedIn(FromWindows(COLORSCHEME_SYSTEM_DARK));
  RestoreWindowsColours();
}

TEST_F(SchemePaint, TheSystemSchemeFollowsAChangedWindowsColour) {
  OpenAsTheHostDoes();
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
