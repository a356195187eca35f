// Theme button pictures drawn from the colour table itself, so a preview can never show other
// colours than the scheme it stands for.
#include "ui/ThemePreviews.h"

#include "ui/ColorScheme.h"

namespace {

void FillColor(HDC dc, const RECT& area, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  if (brush == nullptr) return;
  FillRect(dc, &area, brush);
  DeleteObject(brush);
}

void FrameColor(HDC dc, const RECT& area, COLORREF color, int width) {
  RECT edge = area;
  for (int i = 0; i < width; ++i) {
    HBRUSH brush = CreateSolidBrush(color);
    if (brush == nullptr) return;
    FrameRect(dc, &edge, brush);
    DeleteObject(brush);
    InflateRect(&edge, -1, -1);
  }
}

RECT Part(const RECT& whole, int left, int top, int right, int bottom) {
  int width = whole.right - whole.left, height = whole.bottom - whole.top;
  return RECT{whole.left + width * left / 100, whole.top + height * top / 100, whole.left + width * right / 100,
              whole.top + height * bottom / 100};
}

}  // namespace

void DrawThemePreview(const DRAWITEMSTRUCT& item, uint32_t scheme, bool chosen) {
  HDC dc = item.hDC;
  RECT whole = item.rcItem;
  FillColor(dc, whole, GetSysColor(COLOR_BTNFACE));
  RECT face = whole;
  InflateRect(&face, -4, -4);
  FillColor(dc, face, SchemeColorIn(scheme, SCHEMECOLOR_BACKGROUND));
  // A group box with its light and dark frame, a track bar and a value box, as the main dialog has.
  RECT group = Part(face, 8, 12, 92, 88);
  FrameColor(dc, group, SchemeColorIn(scheme, SCHEMECOLOR_DARK_FRAME), 1);
  OffsetRect(&group, 1, 1);
  FrameColor(dc, group, SchemeColorIn(scheme, SCHEMECOLOR_LIGHT_FRAME), 1);
  FillColor(dc, Part(face, 16, 58, 60, 62), SchemeColorIn(scheme, SCHEMECOLOR_BUTTON_SHADOW));
  FillColor(dc, Part(face, 34, 50, 40, 70), SchemeColorIn(scheme, SCHEMECOLOR_3D_HIGHLIGHT));
  RECT box = Part(face, 66, 50, 86, 70);
  FillColor(dc, box, SchemeColorIn(scheme, SCHEMECOLOR_VALUE_BACKGROUND));
  RECT caption = Part(face, 14, 18, 90, 46);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, SchemeColorIn(scheme, SCHEMECOLOR_TEXT));
  const wchar_t* text = scheme < COLORSCHEME_VERY_DARK ? L"System" : L"Aa";
  DrawTextW(dc, text, -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (scheme < COLORSCHEME_VERY_DARK) {
    RECT lower = Part(face, 10, 72, 90, 98);
    DrawTextW(dc, L"Theme", -1, &lower, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (chosen) FrameColor(dc, whole, SchemeColorIn(COLORSCHEME_DARK, SCHEMECOLOR_HIGHLIGHT), 3);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = whole;
    InflateRect(&focus, -1, -1);
    DrawFocusRect(dc, &focus);
  }
}
