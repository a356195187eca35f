// advanceState as a host serves it: the requested input rectangle and planes interleaved (with
// padding and an integral sampling rate), the output rectangle pre-filled with the document's
// pixels and taken back at the next call, and the selection mask; plane ranges as asked or, to
// imitate a faulty host, from plane 0.
#include "DocumentImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "HostClock.h"

namespace {

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

// The first plane the host serves for a range: the one asked for, or plane 0 for a host that
// mishandles ranges that do not start there.
int ServedLoPlane(int lo, PlaneRangeService service) { return service == PLANES_FROM_ZERO ? 0 : lo; }

// Rows of a rectangle at full resolution, planes interleaved, in the sample's own width, so that
// a whole-document read or write stays close to a copy.
template <typename Sample, int kPlanes>
void InterleaveRows(DocumentImage* d, int lo, int planes, const VRect& rect, uint8_t* buffer) {
  int64_t width = rect.right - rect.left;
  for (int64_t y = rect.top; y < rect.bottom; ++y) {
    auto* out = reinterpret_cast<Sample*>(buffer) + (y - rect.top) * width * planes;
    if constexpr (kPlanes == 0) {
      for (int p = 0; p < planes; ++p) {
        const auto* plane = reinterpret_cast<const Sample*>(d->Sample(lo + p, rect.left, y));
        for (int64_t x = 0; x < width; ++x) out[x * planes + p] = plane[x];
      }
    } else {
      const Sample* in[kPlanes];
      for (int p = 0; p < kPlanes; ++p) in[p] = reinterpret_cast<const Sample*>(d->Sample(lo + p, rect.left, y));
      for (int64_t x = 0; x < width; ++x, out += kPlanes) {
        for (int p = 0; p < kPlanes; ++p) out[p] = in[p][x];
      }
    }
  }
}

template <typename Sample, int kPlanes>
void DeinterleaveRows(DocumentImage* d, int lo, int planes, const VRect& rect, const uint8_t* buffer) {
  int64_t width = rect.right - rect.left;
  for (int64_t y = rect.top; y < rect.bottom; ++y) {
    const auto* in = reinterpret_cast<const Sample*>(buffer) + (y - rect.top) * width * planes;
    if constexpr (kPlanes == 0) {
      for (int p = 0; p < planes; ++p) {
        auto* plane = reinterpret_cast<Sample*>(d->Sample(lo + p, rect.left, y));
        for (int64_t x = 0; x < width; ++x) plane[x] = in[x * planes + p];
      }
    } else {
      Sample* out[kPlanes];
      for (int p = 0; p < kPlanes; ++p) out[p] = reinterpret_cast<Sample*>(d->Sample(lo + p, rect.left, y));
      for (int64_t x = 0; x < width; ++x, in += kPlanes) {
        for (int p = 0; p < kPlanes; ++p) out[p][x] = in[p];
      }
    }
  }
}

// The usual one to four planes with their count a constant (kPlanes 0: any count).
template <typename Sample>
void Interleave(DocumentImage* d, int lo, int planes, const VRect& rect, uint8_t* buffer) {
  switch (planes) {
    case 1: InterleaveRows<Sample, 1>(d, lo, planes, rect, buffer); break;
    case 2: InterleaveRows<Sample, 2>(d, lo, planes, rect, buffer); break;
    case 3: InterleaveRows<Sample, 3>(d, lo, planes, rect, buffer); break;
    case 4: InterleaveRows<Sample, 4>(d, lo, planes, rect, buffer); break;
    default: InterleaveRows<Sample, 0>(d, lo, planes, rect, buffer); break;
  }
}

template <typename Sample>
void Deinterleave(DocumentImage* d, int lo, int planes, const VRect& rect, const uint8_t* buffer) {
  switch (planes) {
    case 1: DeinterleaveRows<Sample, 1>(d, lo, planes, rect, buffer); break;
    case 2: DeinterleaveRows<Sample, 2>(d, lo, planes, rect, buffer); break;
    case 3: DeinterleaveRows<Sample, 3>(d, lo, planes, rect, buffer); break;
    case 4: DeinterleaveRows<Sample, 4>(d, lo, planes, rect, buffer); break;
    default: DeinterleaveRows<Sample, 0>(d, lo, planes, rect, buffer); break;
  }
}

void Interleave(DocumentImage* d, int lo, int planes, const VRect& rect, uint8_t* buffer) {
  switch (d->bytesPerSample) {
    case 1: Interleave<uint8_t>(d, lo, planes, rect, buffer); break;
    case 2: Interleave<uint16_t>(d, lo, planes, rect, buffer); break;
    default: Interleave<uint32_t>(d, lo, planes, rect, buffer); break;
  }
}

void Deinterleave(DocumentImage* d, int lo, int planes, const VRect& rect, const uint8_t* buffer) {
  switch (d->bytesPerSample) {
    case 1: Deinterleave<uint8_t>(d, lo, planes, rect, buffer); break;
    case 2: Deinterleave<uint16_t>(d, lo, planes, rect, buffer); break;
    default: Deinterleave<uint32_t>(d, lo, planes, rect, buffer); break;
  }
}

OSErr DeliverInput(FilterRecord* r, DocumentImage* d, const VRect& rect, PlaneRangeService service, ImageTraffic* traffic) {
  int lo = r->inLoPlane, hi = r->inHiPlane;
  if (lo < 0 || hi < lo || hi >= d->Planes()) return filterBadParameters;
  if (r->inputPadding == -3 && (!Inside(VRect{int32(int64_t(rect.top) * r->inputRate >> 16), int32(int64_t(rect.left) * r->inputRate >> 16),
                                              int32(int64_t(rect.bottom) * r->inputRate >> 16), int32(int64_t(rect.right) * r->inputRate >> 16)}, *d))) {
    return filterBadParameters;
  }
  int planes = hi - lo + 1, bytes = d->bytesPerSample;
  lo = ServedLoPlane(lo, service);
  int64_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  size_t size = size_t(width * height * planes * bytes);
  r->inRowBytes = int32(width * planes * bytes);
  r->inColumnBytes = planes * bytes;
  r->inPlaneBytes = bytes;
  if (r->inputRate == (1 << 16) && Inside(rect, *d)) {
    // The common case, the planes at full resolution inside the document, row by row as a host does.
    traffic->input.resize(size);
    r->inData = traffic->input.data();
    Interleave(d, lo, planes, rect, traffic->input.data());
    return noErr;
  }
  traffic->input.assign(size, 0);
  r->inData = traffic->input.data();
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      int64_t sx, sy;
      bool inside = SourcePixel(*d, rect.left + x, rect.top + y, r->inputRate, r->inputPadding, &sx, &sy);
      for (int p = 0; p < planes; ++p) {
        uint8_t* out = traffic->input.data() + ((y * width + x) * planes + p) * bytes;
        if (inside) memcpy(out, d->Sample(lo + p, sx, sy), size_t(bytes));
        else if (r->inputPadding >= 0 && bytes == 1) *out = uint8_t(r->inputPadding);
      }
    }
  }
  return noErr;
}

OSErr PrepareOutput(FilterRecord* r, DocumentImage* d, const VRect& rect, PlaneRangeService service, ImageTraffic* traffic) {
  int lo = r->outLoPlane, hi = r->outHiPlane;
  if (lo < 0 || hi < lo || hi >= d->Planes() || !Inside(rect, *d)) return filterBadParameters;
  int planes = hi - lo + 1, bytes = d->bytesPerSample;
  lo = ServedLoPlane(lo, service);
  int64_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  traffic->output.resize(size_t(width * height * planes * bytes));
  Interleave(d, lo, planes, rect, traffic->output.data());
  r->outData = traffic->output.data();
  r->outRowBytes = int32(width * planes * bytes);
  r->outColumnBytes = planes * bytes;
  r->outPlaneBytes = bytes;
  traffic->outputPending = true;
  traffic->outputRect = rect;
  traffic->outputServed = PlaneRange{lo, lo + planes - 1};
  return noErr;
}

OSErr DeliverMask(FilterRecord* r, DocumentImage* d, const VRect& rect, ImageTraffic* traffic) {
  if (d->mask.empty() || !Inside(rect, *d)) return filterBadParameters;
  int64_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  traffic->mask.resize(size_t(width * height));
  for (int64_t y = 0; y < height; ++y) {
    memcpy(traffic->mask.data() + y * width, d->mask.data() + (rect.top + y) * d->width + rect.left, size_t(width));
  }
  r->maskData = traffic->mask.data();
  r->maskRowBytes = int32(width);
  return noErr;
}

}  // namespace

void CommitPendingOutput(FilterRecord* record, DocumentImage* document, ImageTraffic* traffic) {
  if (!traffic->outputPending) return;
  const PlaneRange& served = traffic->outputServed;
  Deinterleave(document, served.lo, served.hi - served.lo + 1, traffic->outputRect, traffic->output.data());
  traffic->outputPending = false;
  record->outData = nullptr;
  ++traffic->outputTilesCommitted;
  traffic->lastOutputSeconds = HostSeconds();
}

OSErr ServeAdvanceState(FilterRecord* record, DocumentImage* document, ImageTraffic* traffic, PlaneRangeService service) {
  ++traffic->advanceCalls;
  CommitPendingOutput(record, document, traffic);
  record->inData = record->maskData = nullptr;
  VRect in = InRect(record), out = OutRect(record), mask = MaskRect(record);
  OSErr result = noErr;
  if (!Empty(in)) {
    traffic->inputRects.push_back(in);
    traffic->inputPlanes.push_back(PlaneRange{record->inLoPlane, record->inHiPlane});
    result = DeliverInput(record, document, in, service, traffic);
  }
  if (result == noErr && !Empty(out)) {
    traffic->outputRects.push_back(out);
    traffic->outputPlanes.push_back(PlaneRange{record->outLoPlane, record->outHiPlane});
    result = PrepareOutput(record, document, out, service, traffic);
  }
  if (result == noErr && !Empty(mask)) result = DeliverMask(record, document, mask, traffic);
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
