// A check box in the scheme: a sunken square filled like a value box (dark frame above and left,
// light frame below and right), a check mark and the label in the text colour, on the face.
#include "ui/CheckBoxDrawing.h"

#include "resource.h"
#include "ui/ColorScheme.h"

namespace {

constexpr int kLabelGap = 4;

void FillWith(HDC dc, const RECT& area, uint32_t entry) {
  if (HBRUSH brush = GetSchemeBrush(GetSchemeColor(entry))) FillRect(dc, &area, brush);
}

// The square is as tall as the system's check box, centred on the control's height.
RECT BoxOf(const RECT& control) {
  int side = GetSystemMetrics(SM_CYMENUCHECK);
  if (side <= 0 || side > control.bottom - control.top) side = control.bottom - control.top;
  int top = control.top + (control.bottom - control.top - side) / 2;
  return RECT{control.left, top, control.left + side, top + side};
}

void DrawBox(HDC dc, const RECT& box) {
  FillWith(dc, box, SCHEMECOLOR_VALUE_BACKGROUND);
  FillWith(dc, RECT{box.left, box.top, box.right, box.top + 1}, SCHEMECOLOR_DARK_FRAME);
  FillWith(dc, RECT{box.left, box.top, box.left + 1, box.bottom}, SCHEMECOLOR_DARK_FRAME);
  FillWith(dc, RECT{box.left, box.bottom - 1, box.right, box.bottom}, SCHEMECOLOR_LIGHT_FRAME);
  FillWith(dc, RECT{box.right - 1, box.top, box.right, box.bottom}, SCHEMECOLOR_LIGHT_FRAME);
}

// A tick of two strokes, two pixels wide, inside the box's frame.
void DrawCheckMark(HDC dc, const RECT& box) {
  int side = box.right - box.left;
  POINT points[3] = {{box.left + side / 5, box.top + side / 2},
                     {box.left + side * 2 / 5, box.top + side * 7 / 10},
                     {box.left + side * 4 / 5, box.top + side / 4}};
  HPEN pen = CreatePen(PS_SOLID, 2, GetSchemeColor(SCHEMECOLOR_TEXT));
  if (pen == nullptr) return;
  HGDIOBJ previous = SelectObject(dc, pen);
  Polyline(dc, points, 3);
  SelectObject(dc, previous);
  DeleteObject(pen);
}

void DrawLabel(HDC dc, HWND control, RECT label, bool focused) {
  wchar_t text[64] = {};
  GetWindowTextW(control, text, 64);
  HGDIOBJ previousFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSchemeColor(IsWindowEnabled(control) ? SCHEMECOLOR_TEXT : SCHEMECOLOR_BUTTON_SHADOW));
  UINT format = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
  if (SendMessageW(control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) format |= DT_HIDEPREFIX;
  RECT measured = label;
  DrawTextW(dc, text, -1, &measured, format | DT_CALCRECT);
  DrawTextW(dc, text, -1, &label, format);
  if (focused) {
    RECT focus{label.left - 1, label.top + (label.bottom - label.top - (measured.bottom - measured.top)) / 2 - 1,
               label.left + (measured.right - measured.left) + 1, 0};
    focus.bottom = focus.top + (measured.bottom - measured.top) + 2;
    DrawFocusRect(dc, &focus);
  }
  SelectObject(dc, previousFont);
}

}  // namespace

bool IsPanelCheckBox(int id) { return id == IDC_PREVIEW_CHECK || id == IDC_EFFECTS_ONLY; }

LRESULT DrawPanelCheckBox(const NMCUSTOMDRAW& draw) {
  if (draw.dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
  HWND control = draw.hdr.hwndFrom;
  FillWith(draw.hdc, draw.rc, SCHEMECOLOR_BACKGROUND);
  RECT box = BoxOf(draw.rc);
  DrawBox(draw.hdc, box);
  if (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) DrawCheckMark(draw.hdc, box);
  RECT label{box.right + kLabelGap, draw.rc.top, draw.rc.right, draw.rc.bottom};
  DrawLabel(draw.hdc, control, label, (draw.uItemState & CDIS_FOCUS) != 0);
  return CDRF_SKIPDEFAULT;
}
