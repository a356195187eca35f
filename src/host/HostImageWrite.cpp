// Writes a record back into the host's image in 2048-pixel tiles, all planes of a tile in one
// request, showing progress between tiles and stopping at the first failure or cancel; and ends
// the image traffic.
#include <cstring>

#include "core/Progress.h"
#include "host/HostImage.h"
#include "host/HostRectangles.h"
#include "host/HostState.h"
#include "support/ErrorReport.h"

namespace {

constexpr int32_t kWriteTile = 2048;

uint8_t NarrowSample(uint8_t v) { return v; }
uint16_t NarrowSample(uint16_t v) { return v == 65535 ? 32768 : uint16_t(v >> 1); }
float NarrowSample(float v) { return v; }

template <typename Sample>
Sample* OutputRow(const VRect& tile, int32_t y) {
  return reinterpret_cast<Sample*>(static_cast<uint8_t*>(gFilterRecord->outData) + int64_t(y - tile.top) * gFilterRecord->outRowBytes);
}

// The host takes the planes interleaved, plane p of a pixel at out[p]; the usual layouts are
// unrolled as on the way in.
template <typename Sample, int kColourPlanes, bool kTransparency>
void CopyTileOut(const ImageRecord& image, const VRect& tile) {
  constexpr int kPlanes = kColourPlanes + (kTransparency ? 1 : 0);
  constexpr int kRed = HostPlaneSample(0, sizeof(Sample)), kBlue = HostPlaneSample(2, sizeof(Sample));
  const int64_t width = tile.right - tile.left;
  for (int32_t y = tile.top; y < tile.bottom; ++y) {
    Sample* out = OutputRow<Sample>(tile, y);
    const auto* pixel = reinterpret_cast<const Sample*>(image.Pixel(tile.left, y));
    for (int64_t x = 0; x < width; ++x, out += kPlanes, pixel += 4) {
      if constexpr (kColourPlanes == 1) {
        out[0] = NarrowSample(pixel[0]);
      } else {
        out[0] = NarrowSample(pixel[kRed]);
        out[1] = NarrowSample(pixel[1]);
        out[2] = NarrowSample(pixel[kBlue]);
      }
      if constexpr (kTransparency) out[kColourPlanes] = NarrowSample(pixel[3]);
    }
  }
}

// Any other count of colour planes a host reports, plane after plane.
template <typename Sample>
void CopyTileOutPlaneByPlane(const ImageRecord& image, const VRect& tile, int planes, int colourPlanes) {
  const int64_t width = tile.right - tile.left;
  for (int plane = 0; plane < planes; ++plane) {
    int sample = plane >= colourPlanes ? 3 : colourPlanes == 1 ? 0 : HostPlaneSample(plane, image);
    for (int32_t y = tile.top; y < tile.bottom; ++y) {
      Sample* out = OutputRow<Sample>(tile, y) + plane;
      const auto* pixel = reinterpret_cast<const Sample*>(image.Pixel(tile.left, y)) + sample;
      for (int64_t x = 0; x < width; ++x, out += planes, pixel += 4) *out = NarrowSample(*pixel);
    }
  }
}

template <typename Sample>
void CopyTileOut(const ImageRecord& image, const VRect& tile, int planes, int colourPlanes) {
  bool transparency = planes > colourPlanes;
  if (colourPlanes == 1) {
    transparency ? CopyTileOut<Sample, 1, true>(image, tile) : CopyTileOut<Sample, 1, false>(image, tile);
  } else if (colourPlanes == 3) {
    transparency ? CopyTileOut<Sample, 3, true>(image, tile) : CopyTileOut<Sample, 3, false>(image, tile);
  } else {
    CopyTileOutPlaneByPlane<Sample>(image, tile, planes, colourPlanes);
  }
}

void CopyTileOut(const ImageRecord& image, const VRect& tile, int planes, int colourPlanes) {
  switch (image.bytesPerSample) {
    case 1: CopyTileOut<uint8_t>(image, tile, planes, colourPlanes); break;
    case 2: CopyTileOut<uint16_t>(image, tile, planes, colourPlanes); break;
    default: CopyTileOut<float>(image, tile, planes, colourPlanes); break;
  }
}

// All planes of a tile in one request from plane 0, as on the way in: a host that takes plane 0
// for any range starting elsewhere would otherwise pile every plane into its first one.
bool WriteTile(const ImageRecord& image, const VRect& tile, int planes, int colourPlanes) {
  SetOutputRectangle(tile);
  SetMaskRectangle(kEmptyRect);
  gFilterRecord->outLoPlane = 0;
  gFilterRecord->outHiPlane = int16(planes - 1);
  OSErr result = gFilterRecord->advanceState();
  if (result != noErr) {
    SetResult(result);
    if (result != userCanceledErr) {
      ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "Could not write results back to editor.");
    }
    ErrorReport(__LINE__, TraceMessage)
        .Report("Something other than noErr reported by advanceState in WriteHostImage(), *gResult set to %d.", result);
    return false;
  }
  CopyTileOut(image, tile, planes, colourPlanes);
  return true;
}

bool ShowWriteProgress() {
  ProgressState progress = GetImageEditorProgressState();
  if (DisplayImageEditorProgressBar(progress.stepsDone, progress.totalSteps)) return true;
  SetResult(userCanceledErr);
  ErrorReport(__LINE__, TraceMessage)
      .Report("User pressed [Cancel] at progress bar in WriteHostImage(), *gResult set to %d.", userCanceledErr);
  return false;
}

}  // namespace

void WriteHostImage(const ImageRecord& image) {
  SetInputRectangle(kEmptyRect);
  int colourPlanes = HostColourPlanes(), planes = HostTotalPlanes();
  const ImageRect& area = image.rectangle;
  for (int32_t top = area.top; top < area.bottom && ResultIsOk(); top += kWriteTile) {
    for (int32_t left = area.left; left < area.right && ResultIsOk(); left += kWriteTile) {
      VRect tile{top, left, std::min(top + kWriteTile, area.bottom), std::min(left + kWriteTile, area.right)};
      if (!WriteTile(image, tile, planes, colourPlanes) || !ShowWriteProgress()) return;
    }
  }
}

void DestroyHostImage() {
  if (ResultIsOk() && gFilterRecord != nullptr && gFilterRecord->advanceState != nullptr) {
    SetInputRectangle(kEmptyRect);
    SetOutputRectangle(kEmptyRect);
    SetMaskRectangle(kEmptyRect);
    OSErr result = gFilterRecord->advanceState();
    SetResult(result);
    if (result != noErr) {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "gFilterRecord->advanceState() returned an error during DestroyHostImage.");
    }
  }
  ReleaseImage(&gHostImage);
}
