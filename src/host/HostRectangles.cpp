// Reads and writes the filter record's rectangles in whichever form the host uses.
#include "host/HostRectangles.h"

#include "host/HostState.h"

namespace {

Rect Narrow(const VRect& r) { return Rect{int16(r.top), int16(r.left), int16(r.bottom), int16(r.right)}; }

}  // namespace

bool UsingBigDocument() {
  const BigDocumentStruct* big = gFilterRecord->bigDocumentData;
  return big != nullptr && big->PluginUsing32BitCoordinates;
}

VRect FilterRectangle() {
  if (UsingBigDocument()) return gFilterRecord->bigDocumentData->filterRect32;
  const Rect& r = gFilterRecord->filterRect;
  return VRect{r.top, r.left, r.bottom, r.right};
}

void SetInputRectangle(const VRect& rect) {
  if (UsingBigDocument()) gFilterRecord->bigDocumentData->inRect32 = rect;
  else gFilterRecord->inRect = Narrow(rect);
}

void SetOutputRectangle(const VRect& rect) {
  if (UsingBigDocument()) gFilterRecord->bigDocumentData->outRect32 = rect;
  else gFilterRecord->outRect = Narrow(rect);
}

void SetMaskRectangle(const VRect& rect) {
  if (UsingBigDocument()) gFilterRecord->bigDocumentData->maskRect32 = rect;
  else gFilterRecord->maskRect = Narrow(rect);
}
