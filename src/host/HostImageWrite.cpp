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

void CopyPlaneOut(const ImageRecord& image, const VRect& tile, int plane, int colourPlanes) {
  int sample = plane >= colourPlanes ? 3 : colourPlanes == 1 ? 0 : HostPlaneSample(plane, image);
  int bytes = image.bytesPerSample;
  for (int32_t y = tile.top; y < tile.bottom; ++y) {
    uint8_t* row = static_cast<uint8_t*>(gFilterRecord->outData) + int64_t(y - tile.top) * gFilterRecord->outRowBytes;
    for (int32_t x = tile.left; x < tile.right; ++x) {
      const uint8_t* in = image.Pixel(x, y) + bytes * sample;
      uint8_t* out = row + int64_t(x - tile.left) * bytes;
      if (bytes == 2) {
        uint16_t v;
        memcpy(&v, in, 2);
        uint16_t narrowed = v == 65535 ? 32768 : uint16_t(v >> 1);
        memcpy(out, &narrowed, 2);
      } else {
        memcpy(out, in, size_t(bytes));
      }
    }
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
