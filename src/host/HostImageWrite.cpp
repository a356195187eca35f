// Writes a record back into the host's image in 2048-pixel tiles, showing progress between
// tiles and stopping at the first failure or cancel; and ends the image traffic.
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
void CopyPlaneRowsOut(const ImageRecord& image, const VRect& tile, int sample) {
  const int64_t width = tile.right - tile.left;
  for (int32_t y = tile.top; y < tile.bottom; ++y) {
    auto* out = reinterpret_cast<Sample*>(static_cast<uint8_t*>(gFilterRecord->outData) + int64_t(y - tile.top) * gFilterRecord->outRowBytes);
    const auto* pixel = reinterpret_cast<const Sample*>(image.Pixel(tile.left, y)) + sample;
    for (int64_t x = 0; x < width; ++x, pixel += 4) out[x] = NarrowSample(*pixel);
  }
}

void CopyPlaneOut(const ImageRecord& image, const VRect& tile, int plane, int colourPlanes) {
  int sample = plane >= colourPlanes ? 3 : colourPlanes == 1 ? 0 : HostPlaneSample(plane, image);
  switch (image.bytesPerSample) {
    case 1: CopyPlaneRowsOut<uint8_t>(image, tile, sample); break;
    case 2: CopyPlaneRowsOut<uint16_t>(image, tile, sample); break;
    default: CopyPlaneRowsOut<float>(image, tile, sample); break;
  }
}

bool WriteTile(const ImageRecord& image, const VRect& tile, int planes, int colourPlanes) {
  SetOutputRectangle(tile);
  for (int plane = 0; plane < planes; ++plane) {
    SetMaskRectangle(kEmptyRect);
    gFilterRecord->outLoPlane = gFilterRecord->outHiPlane = int16(plane);
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
    CopyPlaneOut(image, tile, plane, colourPlanes);
  }
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
