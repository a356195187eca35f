// The panel's check boxes drawn in every preset scheme: the face, the sunken box of a value box's
// colours, the check mark only when checked, and the label in the scheme's text colour.
#include <gtest/gtest.h>

#include "resource.h"
#include "ui/CheckBoxDrawing.h"
#include "ui/ColorScheme.h"

namespace {

constexpr int kWidth = 120, kHeight = 20;

class PanelCheckBoxDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 50, nullptr, nullptr, nullptr, nullptr);
    m_Box = CreateWindowExW(0, L"BUTTON", L"&Preview", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, kWidth, kHeight, m_Parent,
                            reinterpret_cast<HMENU>(IDC_PREVIEW_CHECK), nullptr, nullptr);
    ASSERT_NE(m_Box, nullptr);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    m_DC = CreateCompatibleDC(nullptr);
    m_Bitmap = CreateDIBSection(m_DC, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_Pixels), nullptr, 0);
    m_Previous = SelectObject(m_DC, m_Bitmap);
  }
  void TearDown() override {
    SelectObject(m_DC, m_Previous);
    DeleteObject(m_Bitmap);
    DeleteDC(m_DC);
    DestroyWindow(m_Parent);
    ApplyColorScheme(COLORSCHEME_DARK);
  }
  LRESULT Draw(DWORD stage) {
    NMCUSTOMDRAW draw{};
    draw.hdr = NMHDR{m_Box, UINT_PTR(IDC_PREVIEW_CHECK), UINT(NM_CUSTOMDRAW)};
    draw.dwDrawStage = stage;
    draw.hdc = m_DC;
    draw.rc = RECT{0, 0, kWidth, kHeight};
    LRESULT result = DrawPanelCheckBox(draw);
    GdiFlush();
    return result;
  }
  COLORREF At(int x, int y) const {
    uint32_t bgr = m_Pixels[y * kWidth + x];
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
  }
  int CountIn(const RECT& area, COLORREF color) const {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) count += At(x, y) == color ? 1 : 0;
    return count;
  }
  RECT BoxArea() const {
    int side = GetSystemMetrics(SM_CYMENUCHECK);
    if (side <= 0 || side > kHeight) side = kHeight;
    int top = (kHeight - side) / 2;
    return RECT{2, top + 2, side - 2, top + side - 2};
  }

  HWND m_Parent = nullptr, m_Box = nullptr;
  HDC m_DC = nullptr;
  HBITMAP m_Bitmap = nullptr;
  HGDIOBJ m_Previous = nullptr;
  uint32_t* m_Pixels = nullptr;
};

}  // namespace

TEST_F(PanelCheckBoxDrawing, OnlyThePanelsTwoCheckBoxesAreDrawnHere) {
  EXPECT_TRUE(IsPanelCheckBox(IDC_PREVIEW_CHECK));
  EXPECT_TRUE(IsPanelCheckBox(IDC_EFFECTS_ONLY));
  EXPECT_FALSE(IsPanelCheckBox(IDC_QUANTITY_TRACK));
  EXPECT_EQ(Draw(CDDS_POSTPAINT), LRESULT(CDRF_DODEFAULT));
}

TEST_F(PanelCheckBoxDrawing, EachPresetDrawsFaceBoxMarkAndLabelInItsColours) {
  for (uint32_t scheme = COLORSCHEME_VERY_DARK; scheme < COLORSCHEME_COUNT; ++scheme) {
    ASSERT_TRUE(ApplyColorScheme(scheme));
    const COLORREF face = GetSchemeColor(SCHEMECOLOR_BACKGROUND);
    const COLORREF inside = GetSchemeColor(SCHEMECOLOR_VALUE_BACKGROUND);
    const COLORREF text = GetSchemeColor(SCHEMECOLOR_TEXT);
    SendMessageW(m_Box, BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_EQ(Draw(CDDS_PREPAINT), LRESULT(CDRF_SKIPDEFAULT));
    RECT box = BoxArea();
    EXPECT_EQ(At(kWidth - 1, 0), face) << "scheme " << scheme;
    EXPECT_EQ(CountIn(box, inside), (box.right - box.left) * (box.bottom - box.top)) << "an empty box, scheme " << scheme;
    EXPECT_EQ(At(box.left - 2, box.top - 2), GetSchemeColor(SCHEMECOLOR_DARK_FRAME)) << "scheme " << scheme;
    EXPECT_GT(CountIn(RECT{box.right + 4, 0, kWidth, kHeight}, text), 10) << "the label, scheme " << scheme;
    SendMessageW(m_Box, BM_SETCHECK, BST_CHECKED, 0);
    Draw(CDDS_PREPAINT);
    EXPECT_GT(CountIn(box, text), 6) << "the check mark, scheme " << scheme;
  }
}
