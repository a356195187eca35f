// A track bar in the scheme: a sunken channel (dark frame above and left, light frame below and
// right) filled like a value box, and a thumb of the scheme's 3-D highlight, in the highlight
// colour while the track bar has the focus. The background comes from WM_CTLCOLORSTATIC.
#include "ui/SliderDrawing.h"

#include "ui/ColorScheme.h"

namespace {

void FillWith(HDC dc, const RECT& area, uint32_t entry) {
  if (HBRUSH brush = GetSchemeBrush(GetSchemeColor(entry))) FillRect(dc, &area, brush);
}

void DrawChannel(HDC dc, const RECT& channel) {
  FillWith(dc, channel, SCHEMECOLOR_VALUE_BACKGROUND);
  FillWith(dc, RECT{channel.left, channel.top, channel.right, channel.top + 1}, SCHEMECOLOR_DARK_FRAME);
  FillWith(dc, RECT{channel.left, channel.top, channel.left + 1, channel.bottom}, SCHEMECOLOR_DARK_FRAME);
  FillWith(dc, RECT{channel.left, channel.bottom - 1, channel.right, channel.bottom}, SCHEMECOLOR_LIGHT_FRAME);
  FillWith(dc, RECT{channel.right - 1, channel.top, channel.right, channel.bottom}, SCHEMECOLOR_LIGHT_FRAME);
}

void DrawThumb(HDC dc, const RECT& thumb, bool focused) {
  FillWith(dc, thumb, focused ? SCHEMECOLOR_HIGHLIGHT : SCHEMECOLOR_3D_HIGHLIGHT);
  if (HBRUSH frame = GetSchemeBrush(GetSchemeColor(SCHEMECOLOR_DARK_FRAME))) FrameRect(dc, &thumb, frame);
}

}  // namespace

// The track bar names its focus only in the notice for the whole control and clears it before
// the notices for its parts, so the thumb asks the window manager whether it has the focus. The
// notices come on the track bar's own thread, which is the dialog's.
LRESULT DrawSliderTrackBar(const NMCUSTOMDRAW& draw) {
  if (draw.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  switch (draw.dwItemSpec) {
    case TBCD_CHANNEL: DrawChannel(draw.hdc, draw.rc); return CDRF_SKIPDEFAULT;
    case TBCD_THUMB: DrawThumb(draw.hdc, draw.rc, draw.hdr.hwndFrom != nullptr && GetFocus() == draw.hdr.hwndFrom); return CDRF_SKIPDEFAULT;
  }
  return CDRF_DODEFAULT;
}
