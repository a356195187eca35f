// Memory negotiation arithmetic, kept in 64 bits: a 30,000-pixel square would wrap in 32.
#include "host/MemoryNegotiation.h"

#include <algorithm>

#include "PITypes.h"

namespace {
constexpr int64_t kBufferSpaceCap = 1000000000;
constexpr int64_t kWorkingAllowance = 1250000;
constexpr int64_t kBufferSpaceFactor = 16;
constexpr int64_t kTileEdge = 1024;
}  // namespace

int32_t BytesPerSampleOfMode(int32_t imageMode) {
  switch (imageMode) {
    case plugInModeGray16:
    case plugInModeRGB48:
    case plugInModeLab48:
    case plugInModeCMYK64:
    case plugInModeDeepMultichannel:
    case plugInModeDuotone16:
      return 2;
    case plugInModeRGB96:
    case plugInModeGray32:
      return 4;
    default:
      return 1;
  }
}

int32_t RequiredBufferSpace(int32_t imageMode, int64_t width, int64_t height) {
  int64_t pixels = std::max<int64_t>(width, 0) * std::max<int64_t>(height, 0);
  int64_t space = kBufferSpaceFactor * (BytesPerSampleOfMode(imageMode) * pixels + kWorkingAllowance);
  return int32_t(std::min(space, kBufferSpaceCap));
}

int64_t TileSpaceAllowance(int64_t width, int64_t height, int32_t planes, bool haveMask) {
  int64_t tileWidth = std::clamp<int64_t>(width, 0, kTileEdge);
  int64_t tileHeight = std::clamp<int64_t>(height, 0, kTileEdge);
  return 2 * tileWidth * tileHeight * (haveMask ? planes + 1 : planes);
}
