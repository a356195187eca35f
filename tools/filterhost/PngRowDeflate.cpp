// Each segment of rows is deflated on its own as raw deflate data that ends on a byte boundary;
// the segments joined behind one zlib header, with their Adler-32 sums combined, form one valid
// stream (the way pigz compresses in parallel).
#include "PngRowDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "ParallelDeflate.h"

namespace {

struct Segment {
  int32_t firstRow = 0, endRow = 0;
  std::vector<uint8_t> output;
  uLong adler = 1;
  size_t inputBytes = 0;
  bool ok = false;
};

struct SegmentWork {
  const FilePixels* pixels;
  int level;
  std::vector<Segment>* segments;
};

// The row as PNG stores it: the filter byte (1, Sub), then each byte less the one a pixel before.
void FilterRow(const FilePixels& pixels, int32_t y, uint8_t* scratch, uint8_t* filtered) {
  size_t rowBytes = pixels.RowBytes(), pixelBytes = size_t(pixels.channels) * size_t(pixels.depth / 8);
  const uint8_t* row = pixels.Row(y);
  if (pixels.depth == 16) {
    for (size_t i = 0; i < rowBytes; i += 2) {
      scratch[i] = row[i + 1];
      scratch[i + 1] = row[i];
    }
    row = scratch;
  }
  filtered[0] = 1;
  memcpy(filtered + 1, row, pixelBytes);
  for (size_t i = pixelBytes; i < rowBytes; ++i) filtered[1 + i] = uint8_t(row[i] - row[i - pixelBytes]);
}

void DeflateSegment(void* context, int index) {
  auto* work = static_cast<SegmentWork*>(context);
  Segment& s = (*work->segments)[size_t(index)];
  bool last = size_t(index) + 1 == work->segments->size();
  FastDeflater deflater;
  if (!deflater.Start(work->level, false)) return;
  std::vector<uint8_t> scratch(work->pixels->RowBytes()), filtered(work->pixels->RowBytes() + 1);
  bool ok = true;
  for (int32_t y = s.firstRow; y < s.endRow && ok; ++y) {
    FilterRow(*work->pixels, y, scratch.data(), filtered.data());
    s.adler = adler32(s.adler, filtered.data(), uInt(filtered.size()));
    s.inputBytes += filtered.size();
    ok = deflater.Add(filtered.data(), filtered.size(), &s.output);
  }
  s.ok = ok && deflater.Finish(last, &s.output);
}

void AppendBigEndian(uint32_t value, std::vector<uint8_t>* out) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(value >> shift));
}

}  // namespace

// Segments of at least 64 rows, a few per processor so that a busy one holds up little.
bool DeflatePngRows(const FilePixels& pixels, int level, std::vector<uint8_t>* stream, std::string* error) {
  int count = int(std::clamp<int64_t>(pixels.height / 64, 1, 8));
  std::vector<Segment> segments(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    segments[size_t(i)].firstRow = int32_t(int64_t(pixels.height) * i / count);
    segments[size_t(i)].endRow = int32_t(int64_t(pixels.height) * (i + 1) / count);
  }
  SegmentWork work{&pixels, level, &segments};
  RunOnAllProcessors(count, DeflateSegment, &work);
  stream->assign({0x78, 0x01});  // deflate with a 32 KB window, "fastest" in the header
  uLong adler = 1;
  for (const Segment& s : segments) {
    if (!s.ok) {
      *error = "the pixels could not be compressed";
      return false;
    }
    stream->insert(stream->end(), s.output.begin(), s.output.end());
    // Only the length modulo Adler-32's base enters the combination, and so it fits z_off_t.
    adler = adler32_combine(adler, s.adler, z_off_t(s.inputBytes % 65521));
  }
  AppendBigEndian(uint32_t(adler), stream);
  return true;
}
