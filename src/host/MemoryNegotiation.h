// What the filter asks of the host's memory in the prepare selector.
#pragma once
#include <cstdint>

int32_t BytesPerSampleOfMode(int32_t imageMode);
// 16 × (bytes per sample × width × height + 1,250,000), in 64 bits, capped at 1,000,000,000.
int32_t RequiredBufferSpace(int32_t imageMode, int64_t width, int64_t height);
// Twice one 1024 × 1024 tile of every plane (and the mask) at most.
int64_t TileSpaceAllowance(int64_t width, int64_t height, int32_t planes, bool haveMask);
