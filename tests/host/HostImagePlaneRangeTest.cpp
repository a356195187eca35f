// Plane ranges between the plug-in and hosts: every tile's planes travel in one request from
// plane 0, so that a host serving plane 0 for any range that starts elsewhere gives the same
// pixels as one that serves ranges as asked; and that host's fault, shown with single planes.
// Sections: helpers (record bytes, distinct samples, the former one-plane requests); the same
// pixels in every mode; the requests per tile; selection and unusual plane counts; the fault
// itself; the reference host's service of ranges.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DocumentImage.h"
#include "HostSession.h"
#include "host/HostImage.h"
#include "host/HostRectangles.h"
#include "host/HostState.h"
#include "support/HostRecordFixture.h"

namespace {

constexpr PlaneRangeService kServices[] = {PLANES_AS_ASKED, PLANES_FROM_ZERO};
constexpr int16 kModes[] = {plugInModeGrayScale, plugInModeRGBColor, plugInModeGray16, plugInModeRGB48, plugInModeGray32, plugInModeRGB96};

// What one read and write left: the record's pixel bytes after the read, the host's planes before
// and after the write.
struct TrafficResult {
  std::vector<uint8_t> record;
  std::vector<std::vector<uint8_t>> original;
  std::vector<std::vector<uint8_t>> written;
};

std::vector<uint8_t> RecordBytes(const ImageRecord& image) {
  std::vector<uint8_t> bytes;
  size_t rowBytes = size_t(image.rectangle.Width()) * 4 * size_t(image.bytesPerSample);
  for (int64_t y = image.rectangle.top; y < image.rectangle.bottom; ++y) {
    const uint8_t* row = image.Pixel(image.rectangle.left, y);
    bytes.insert(bytes.end(), row, row + rowBytes);
  }
  return bytes;
}

// A different value in every sample of every pixel, so that a plane written into the wrong
// host plane shows.
template <typename Sample>
void PaintDistinctSamples(ImageRecord* image) {
  for (int64_t y = image->rectangle.top; y < image->rectangle.bottom; ++y) {
    auto* pixel = reinterpret_cast<Sample*>(image->Pixel(image->rectangle.left, y));
    for (int64_t x = image->rectangle.left; x < image->rectangle.right; ++x, pixel += 4) {
      for (int s = 0; s < 4; ++s) {
        if constexpr (sizeof(Sample) == 1) pixel[s] = Sample((x * 3 + y * 5 + s * 61) & 255);
        else if constexpr (sizeof(Sample) == 2) pixel[s] = Sample((x * 301 + y * 7 + s * 16411) & 0xFFFF);
        else pixel[s] = Sample(s + 0.01 * double(x) + 0.001 * double(y));
      }
    }
  }
}

void PaintDistinctSamples(ImageRecord* image) {
  switch (image->bytesPerSample) {
    case 1: PaintDistinctSamples<uint8_t>(image); break;
    case 2: PaintDistinctSamples<uint16_t>(image); break;
    default: PaintDistinctSamples<float>(image); break;
  }
}

// The plug-in's former request pattern, one plane per advanceState call: the plane's samples
// over the rectangle, row after row.
std::vector<uint8_t> RequestOnePlane(int plane, const VRect& rect, int bytesPerSample) {
  SetOutputRectangle(kEmptyRect);
  SetMaskRectangle(kEmptyRect);
  SetInputRectangle(rect);
  gFilterRecord->inLoPlane = gFilterRecord->inHiPlane = int16(plane);
  std::vector<uint8_t> samples;
  if (gFilterRecord->advanceState() != noErr) return samples;
  size_t rowBytes = size_t(rect.right - rect.left) * size_t(bytesPerSample);
  for (int32_t y = 0; y < rect.bottom - rect.top; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(gFilterRecord->inData) + int64_t(y) * gFilterRecord->inRowBytes;
    samples.insert(samples.end(), row, row + rowBytes);
  }
  return samples;
}

// The former write pattern: one plane alone, every byte set to the value; the host takes the
// buffer back at the next call.
bool WriteOnePlane(int plane, const VRect& rect, uint8_t value) {
  SetInputRectangle(kEmptyRect);
  SetMaskRectangle(kEmptyRect);
  SetOutputRectangle(rect);
  gFilterRecord->outLoPlane = gFilterRecord->outHiPlane = int16(plane);
  if (gFilterRecord->advanceState() != noErr) return false;
  for (int32_t y = 0; y < rect.bottom - rect.top; ++y) {
    memset(static_cast<uint8_t*>(gFilterRecord->outData) + int64_t(y) * gFilterRecord->outRowBytes, value, size_t(rect.right - rect.left));
  }
  SetOutputRectangle(kEmptyRect);
  return gFilterRecord->advanceState() == noErr;
}

std::vector<uint8_t> PlaneBytes(DocumentImage& image, int plane, const VRect& rect) {
  std::vector<uint8_t> bytes;
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    const uint8_t* row = image.Sample(plane, rect.left, y);
    bytes.insert(bytes.end(), row, row + (rect.right - rect.left) * image.bytesPerSample);
  }
  return bytes;
}

void ExpectSameTraffic(const TrafficResult& asked, const TrafficResult& fromZero, const std::string& which) {
  EXPECT_EQ(fromZero.record, asked.record) << which;
  EXPECT_EQ(fromZero.written, asked.written) << which;
  for (size_t p = 0; p < asked.written.size(); ++p) {
    EXPECT_NE(asked.written[p], asked.original[p]) << which << ", plane " << p << ": the painted record reached the host";
  }
}

}  // namespace

class HostPlaneRanges : public HostRecordFixture {
 protected:
  HostSession& OpenServing(const HostDocument& document, PlaneRangeService service, HostProfile profile = HOST_PHOTOSHOP) {
    HostOptions options;
    options.tileSize = 32;
    options.planeRanges = service;
    options.profile = profile;
    return Open(document, options);
  }
  // Reads the document, paints the record with distinct samples and writes it back.
  bool ReadAndWrite(const HostDocument& document, PlaneRangeService service, HostProfile profile, TrafficResult* result) {
    HostSession& session = OpenServing(document, service, profile);
    result->original = session.Image().planes;
    bool read = OpenProfiles() && ReadHostImage();
    if (read) {
      result->record = RecordBytes(gHostImage);
      PaintDistinctSamples(&gHostImage);
      WriteHostImage(gHostImage);
    }
    DestroyHostImage();
    result->written = session.Image().planes;
    TerminateColorConversion();
    TerminateImageEditorProgressBar();
    return read && m_Result == 0;
  }
};

// In a host with the big-document rectangles and in one with the 16-bit ones only.
TEST_F(HostPlaneRanges, EveryModeGivesTheSamePixelsInAHostThatServesRangesFromPlaneZero) {
  for (HostProfile profile : {HOST_PHOTOSHOP, HOST_PDN}) {
    for (int16 mode : kModes) {
      for (bool transparency : {false, true}) {
        HostDocument document;
        document.imageMode = mode;
        document.width = 70;
        document.height = 33;
        document.hasTransparency = transparency;
        std::string which = std::string(HostProfileName(profile)) + ", mode " + std::to_string(mode) +
                            (transparency ? " with transparency" : "");
        TrafficResult asked, fromZero;
        ASSERT_TRUE(ReadAndWrite(document, PLANES_AS_ASKED, profile, &asked)) << which;
        ASSERT_TRUE(ReadAndWrite(document, PLANES_FROM_ZERO, profile, &fromZero)) << which;
        ExpectSameTraffic(asked, fromZero, which);
      }
    }
  }
}

TEST_F(HostPlaneRanges, EachTileIsOneRequestForAllPlanesFromPlaneZero) {
  struct Case {
    int16 mode;
    bool transparency;
    int hiPlane;
  };
  for (const Case& c : {Case{plugInModeGrayScale, false, 0}, Case{plugInModeGray16, true, 1}, Case{plugInModeRGBColor, false, 2},
                        Case{plugInModeRGB96, true, 3}}) {
    HostDocument document;
    document.imageMode = c.mode;
    document.width = 70;
    document.height = 33;
    document.hasTransparency = c.transparency;
    document.hasSelection = true;
    HostSession& session = OpenServing(document, PLANES_FROM_ZERO);
    ASSERT_TRUE(OpenProfiles());
    ASSERT_TRUE(ReadHostImage());
    WriteHostImage(gHostImage);
    DestroyHostImage();
    ASSERT_EQ(m_Result, 0);
    const ImageTraffic& traffic = session.Traffic();
    EXPECT_EQ(traffic.inputRects.size(), 6u) << "3 x 2 tiles of 32, one request each";
    for (const PlaneRange& range : traffic.inputPlanes) {
      EXPECT_EQ(range.lo, 0);
      EXPECT_EQ(range.hi, c.hiPlane);
    }
    ASSERT_EQ(traffic.outputPlanes.size(), 1u) << "one 2048-pixel write tile";
    EXPECT_EQ(traffic.outputPlanes[0].lo, 0);
    EXPECT_EQ(traffic.outputPlanes[0].hi, c.hiPlane);
    TerminateColorConversion();
    TerminateImageEditorProgressBar();
  }
}

TEST_F(HostPlaneRanges, TheSelectionArrivesWithTheInterleavedPlanes) {
  HostDocument document;
  document.width = 70;
  document.height = 33;
  document.hasSelection = true;
  document.hasTransparency = true;
  HostSession& session = OpenServing(document, PLANES_FROM_ZERO);
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  ASSERT_TRUE(gHostImage.HasMask());
  for (int32_t y = 0; y < 33; ++y) {
    for (int32_t x = 0; x < 70; ++x) {
      ASSERT_EQ(*gHostImage.MaskAt(x, y), session.Image().mask[size_t(y * 70 + x)]) << x << ", " << y;
      ASSERT_EQ(gHostImage.Pixel(x, y)[2], *session.Image().Sample(0, x, y)) << "red";
      ASSERT_EQ(gHostImage.Pixel(x, y)[0], *session.Image().Sample(2, x, y)) << "blue";
      ASSERT_EQ(gHostImage.Pixel(x, y)[3], *session.Image().Sample(3, x, y)) << "transparency";
    }
  }
}

// A host that counts the transparency plane among the layer's colour planes: the planes still
// come in one request and land where plane after plane would put them.
TEST_F(HostPlaneRanges, AnUnusualCountOfColourPlanesRoundTrips) {
  HostDocument document;
  document.imageMode = plugInModeRGB48;
  document.width = 40;
  document.height = 9;
  document.hasTransparency = true;
  HostSession& session = OpenServing(document, PLANES_FROM_ZERO);
  session.Record()->inLayerPlanes = 4;
  session.Record()->inTransparencyMask = 0;
  std::vector<std::vector<uint8_t>> before = session.Image().planes;
  uint16_t alpha = 12345;
  memcpy(session.Image().Sample(3, 7, 2), &alpha, 2);
  before[3] = session.Image().planes[3];
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  EXPECT_EQ(reinterpret_cast<const uint16_t*>(gHostImage.Pixel(7, 2))[3], 24690);
  WriteHostImage(gHostImage);
  DestroyHostImage();
  ASSERT_EQ(m_Result, 0);
  EXPECT_EQ(session.Traffic().inputPlanes.back().hi, 3);
  EXPECT_EQ(session.Image().planes, before);
}

// The fault itself, with the plug-in's former one-plane requests: that host serves plane 0 for
// plane 1 and 2, and takes a plane written alone back into plane 0.
TEST_F(HostPlaneRanges, OnePlaneAtATimeGetsPlaneZeroFromTheFaultyHost) {
  HostDocument document;
  document.width = 40;
  document.height = 20;
  const VRect rect{2, 3, 12, 33};
  for (PlaneRangeService service : kServices) {
    HostSession& session = OpenServing(document, service);
    std::vector<uint8_t> planes[3];
    for (int p = 0; p < 3; ++p) planes[p] = RequestOnePlane(p, rect, 1);
    std::vector<uint8_t> first = PlaneBytes(session.Image(), 0, rect), second = PlaneBytes(session.Image(), 1, rect);
    ASSERT_NE(first, second);
    EXPECT_EQ(planes[0], first);
    if (service == PLANES_FROM_ZERO) {
      EXPECT_EQ(planes[1], first) << "the first plane three times";
      EXPECT_EQ(planes[2], first);
    } else {
      EXPECT_EQ(planes[1], second);
      EXPECT_EQ(planes[2], PlaneBytes(session.Image(), 2, rect));
    }
    ASSERT_TRUE(WriteOnePlane(1, rect, 0xAB));
    std::vector<uint8_t> marked(first.size(), 0xAB);
    EXPECT_EQ(PlaneBytes(session.Image(), service == PLANES_FROM_ZERO ? 0 : 1, rect), marked);
    EXPECT_EQ(PlaneBytes(session.Image(), service == PLANES_FROM_ZERO ? 1 : 0, rect), service == PLANES_FROM_ZERO ? second : first);
    TerminateImageEditorProgressBar();
  }
}

// The reference host interleaves any range it is asked for, at every depth, and refuses planes
// the document does not have whatever its service.
TEST_F(HostPlaneRanges, AMultiPlaneRangeIsServedInterleavedAndOutOfRangePlanesAreRefused) {
  HostDocument document;
  document.imageMode = plugInModeRGB48;
  document.width = 20;
  document.height = 10;
  document.hasTransparency = true;
  const VRect rect{3, 2, 5, 7};
  for (PlaneRangeService service : kServices) {
    HostSession& session = OpenServing(document, service);
    SetOutputRectangle(kEmptyRect);
    SetInputRectangle(rect);
    gFilterRecord->inLoPlane = 1;
    gFilterRecord->inHiPlane = 3;
    ASSERT_EQ(gFilterRecord->advanceState(), noErr);
    EXPECT_EQ(gFilterRecord->inRowBytes, 5 * 3 * 2);
    EXPECT_EQ(gFilterRecord->inColumnBytes, 3 * 2);
    int first = service == PLANES_FROM_ZERO ? 0 : 1;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      for (int32_t x = rect.left; x < rect.right; ++x) {
        for (int p = 0; p < 3; ++p) {
          const uint8_t* served = static_cast<const uint8_t*>(gFilterRecord->inData) + (y - rect.top) * gFilterRecord->inRowBytes +
                                  (x - rect.left) * gFilterRecord->inColumnBytes + p * 2;
          ASSERT_EQ(memcmp(served, session.Image().Sample(first + p, x, y), 2), 0) << x << ", " << y << " plane " << p;
        }
      }
    }
    struct Range {
      int16 lo, hi;
    };
    for (Range bad : {Range{0, 4}, Range{-1, 1}, Range{2, 1}, Range{4, 4}}) {
      gFilterRecord->inLoPlane = bad.lo;
      gFilterRecord->inHiPlane = bad.hi;
      EXPECT_EQ(gFilterRecord->advanceState(), filterBadParameters) << bad.lo << ".." << bad.hi;
    }
    SetInputRectangle(kEmptyRect);
    SetOutputRectangle(rect);
    gFilterRecord->outLoPlane = 0;
    gFilterRecord->outHiPlane = 4;
    EXPECT_EQ(gFilterRecord->advanceState(), filterBadParameters);
    SetOutputRectangle(kEmptyRect);
    TerminateImageEditorProgressBar();
  }
}
