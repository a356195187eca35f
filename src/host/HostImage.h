// The host's image, read once whole into one image record during the start selector and
// written back tile by tile through the host's advanceState, all planes of a tile at once.
#pragma once
#include "color/ColorProfiles.h"
#include "core/ImageRecord.h"

extern ImageRecord gHostImage;

// What the current filter record says of the host image's profile.
HostProfileSource HostProfileOfRecord();
bool ReadHostImage();
void WriteHostImage(const ImageRecord& image);
void DestroyHostImage();
// Truncated diagonal of the host image plus one, in pixels; the effect synthesis scales by it.
int64_t HostImageDiagonal();
const char* HostModeName(int32_t mode);
// The record sample that holds a host colour plane (the transparency plane is sample 3); 8-bit
// records are stored blue, green, red, alpha.
constexpr int HostPlaneSample(int plane, int32_t bytesPerSample) {
  return plane >= 3 ? 3 : bytesPerSample == 1 ? 2 - plane : plane;
}
inline int HostPlaneSample(int plane, const ImageRecord& image) { return HostPlaneSample(plane, image.bytesPerSample); }
int HostColourPlanes();
int HostTotalPlanes();
