// advanceState as a host serves it: the requested input rectangle and planes (with padding and
// an integral sampling rate), the output rectangle pre-filled with the document's pixels and
// taken back at the next call, and the selection mask.
#include "DocumentImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct Traffic {
  std::vector<uint8_t> input, output, mask;
  bool outputPending = false;
  VRect outputRect{};
  int outputLo = 0, outputHi = -1;
};
Traffic gTraffic;

bool UsingBig(const FilterRecord* r) { return r->bigDocumentData != nullptr && r->bigDocumentData->PluginUsing32BitCoordinates; }
VRect Wide(const Rect& r) { return VRect{r.top, r.left, r.bottom, r.right}; }
VRect InRect(const FilterRecord* r) { return UsingBig(r) ? r->bigDocumentData->inRect32 : Wide(r->inRect); }
VRect OutRect(const FilterRecord* r) { return UsingBig(r) ? r->bigDocumentData->outRect32 : Wide(r->outRect); }
VRect MaskRect(const FilterRecord* r) { return UsingBig(r) ? r->bigDocumentData->maskRect32 : Wide(r->maskRect); }
bool Empty(const VRect& r) { return r.right <= r.left || r.bottom <= r.top; }
bool Inside(const VRect& r, const DocumentImage& d) { return r.left >= 0 && r.top >= 0 && r.right <= d.width && r.bottom <= d.height; }

// Pixel (x, y) of a rectangle at a 16.16 sampling rate, or -1 outside the document.
bool SourcePixel(const DocumentImage& d, int64_t x, int64_t y, int32_t rate, int16_t padding, int64_t* sx, int64_t* sy) {
  *sx = (x * rate) >> 16;
  *sy = (y * rate) >> 16;
  if (*sx >= 0 && *sy >= 0 && *sx < d.width && *sy < d.height) return true;
  if (padding != -1) return false;
  *sx = std::clamp<int64_t>(*sx, 0, d.width - 1);
  *sy = std::clamp<int64_t>(*sy, 0, d.height - 1);
  return true;
}

OSErr DeliverInput(FilterRecord* r, DocumentImage* d, const VRect& rect) {
  int lo = r->inLoPlane, hi = r->inHiPlane;
  if (lo < 0 || hi < lo || hi >= d->Planes()) return filterBadParameters;
  if (r->inputPadding == -3 && (!Inside(VRect{int32(int64_t(rect.top) * r->inputRate >> 16), int32(int64_t(rect.left) * r->inputRate >> 16),
                                              int32(int64_t(rect.bottom) * r->inputRate >> 16), int32(int64_t(rect.right) * r->inputRate >> 16)}, *d))) {
    return filterBadParameters;
  }
  int planes = hi - lo + 1, bytes = d->bytesPerSample;
  int64_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  gTraffic.input.assign(size_t(width * height * planes * bytes), 0);
  r->inData = gTraffic.input.data();
  r->inRowBytes = int32(width * planes * bytes);
  if (r->inputRate == (1 << 16) && planes == 1 && Inside(rect, *d)) {
    // The common case, a plane at full resolution inside the document, row by row as a host does.
    for (int64_t y = 0; y < height; ++y) {
      memcpy(gTraffic.input.data() + y * width * bytes, d->Sample(lo, rect.left, rect.top + y), size_t(width * bytes));
    }
    return noErr;
  }
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      int64_t sx, sy;
      bool inside = SourcePixel(*d, rect.left + x, rect.top + y, r->inputRate, r->inputPadding, &sx, &sy);
      for (int p = 0; p < planes; ++p) {
        uint8_t* out = gTraffic.input.data() + ((y * width + x) * planes + p) * bytes;
        if (inside) memcpy(out, d->Sample(lo + p, sx, sy), size_t(bytes));
        else if (r->inputPadding >= 0 && bytes == 1) *out = uint8_t(r->inputPadding);
      }
    }
  }
  return noErr;
}

OSErr PrepareOutput(FilterRecord* r, DocumentImage* d, const VRect& rect) {
  int lo = r->outLoPlane, hi = r->outHiPlane;
  if (lo < 0 || hi < lo || hi >= d->Planes() || !Inside(rect, *d)) return filterBadParameters;
  int planes = hi - lo + 1, bytes = d->bytesPerSample;
  int64_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  gTraffic.output.assign(size_t(width * height * planes * bytes), 0);
  for (int64_t y = 0; y < height; ++y) {
    if (planes == 1) {
      memcpy(gTraffic.output.data() + y * width * bytes, d->Sample(lo, rect.left, rect.top + y), size_t(width * bytes));
      continue;
    }
    for (int64_t x = 0; x < width; ++x) {
      for (int p = 0; p < planes; ++p) {
        memcpy(gTraffic.output.data() + ((y * width + x) * planes + p) * bytes, d->Sample(lo + p, rect.left + x, rect.top + y),
               size_t(bytes));
      }
    }
  }
  r->outData = gTraffic.output.data();
  r->outRowBytes = int32(width * planes * bytes);
  gTraffic.outputPending = true;
  gTraffic.outputRect = rect;
  gTraffic.outputLo = lo;
  gTraffic.outputHi = hi;
  return noErr;
}

OSErr DeliverMask(FilterRecord* r, DocumentImage* d, const VRect& rect) {
  if (d->mask.empty() || !Inside(rect, *d)) return filterBadParameters;
  int64_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  gTraffic.mask.resize(size_t(width * height));
  for (int64_t y = 0; y < height; ++y) {
    memcpy(gTraffic.mask.data() + y * width, d->mask.data() + (rect.top + y) * d->width + rect.left, size_t(width));
  }
  r->maskData = gTraffic.mask.data();
  r->maskRowBytes = int32(width);
  return noErr;
}

}  // namespace

void CommitPendingOutput(FilterRecord* record, DocumentImage* document, ImageTraffic* traffic) {
  if (!gTraffic.outputPending) return;
  const VRect& rect = gTraffic.outputRect;
  int planes = gTraffic.outputHi - gTraffic.outputLo + 1, bytes = document->bytesPerSample;
  int64_t width = rect.right - rect.left;
  for (int64_t y = rect.top; y < rect.bottom; ++y) {
    if (planes == 1) {
      memcpy(document->Sample(gTraffic.outputLo, rect.left, y), gTraffic.output.data() + (y - rect.top) * width * bytes,
             size_t(width * bytes));
      continue;
    }
    for (int64_t x = rect.left; x < rect.right; ++x) {
      for (int p = 0; p < planes; ++p) {
        memcpy(document->Sample(gTraffic.outputLo + p, x, y),
               gTraffic.output.data() + (((y - rect.top) * width + (x - rect.left)) * planes + p) * bytes, size_t(bytes));
      }
    }
  }
  gTraffic.outputPending = false;
  record->outData = nullptr;
  ++traffic->outputTilesCommitted;
}

OSErr ServeAdvanceState(FilterRecord* record, DocumentImage* document, ImageTraffic* traffic) {
  ++traffic->advanceCalls;
  CommitPendingOutput(record, document, traffic);
  record->inData = record->maskData = nullptr;
  VRect in = InRect(record), out = OutRect(record), mask = MaskRect(record);
  OSErr result = noErr;
  if (!Empty(in)) {
    traffic->inputRects.push_back(in);
    result = DeliverInput(record, document, in);
  }
  if (result == noErr && !Empty(out)) {
    traffic->outputRects.push_back(out);
    result = PrepareOutput(record, document, out);
  }
  if (result == noErr && !Empty(mask)) result = DeliverMask(record, document, mask);
  return result;
}

DocumentImage MakeTestDocument(int32_t width, int32_t height, int colourPlanes, bool transparency, int bytesPerSample,
                               bool selection) {
  DocumentImage d;
  d.width = width;
  d.height = height;
  d.colourPlanes = colourPlanes;
  d.transparency = transparency;
  d.bytesPerSample = bytesPerSample;
  d.planes.assign(size_t(d.Planes()), std::vector<uint8_t>(size_t(int64_t(width) * height * bytesPerSample)));
  for (int p = 0; p < d.Planes(); ++p) {
    for (int64_t y = 0; y < height; ++y) {
      for (int64_t x = 0; x < width; ++x) {
        bool highlight = (x % 97 == 40 && y % 89 == 30);
        double value = p == colourPlanes ? 1.0 : highlight ? 1.0 : 0.15 * (double(x) / width + double(y) / height + p * 0.1);
        uint8_t* sample = d.Sample(p, x, y);
        if (bytesPerSample == 1) *sample = uint8_t(std::lround(value * 255));
        else if (bytesPerSample == 2) {
          uint16_t v = uint16_t(std::lround(value * 32768));
          memcpy(sample, &v, 2);
        } else {
          float v = float(value);
          memcpy(sample, &v, 4);
        }
      }
    }
  }
  if (selection) {
    d.mask.resize(size_t(int64_t(width) * height));
    for (int64_t i = 0; i < int64_t(d.mask.size()); ++i) d.mask[size_t(i)] = (i % width) < width / 2 ? 255 : 0;
  }
  return d;
}
