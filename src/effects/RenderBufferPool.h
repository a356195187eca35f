// Large blocks that the final render's phases hand on to each other. A star of long spikes takes
// hundreds of megabytes a phase, drawn into one block, ordered into another and freed when its
// round is painted; fresh blocks of that size cost the system a cleared page for every 4 KB
// touched, and growing one copies it. Blocks given back here serve the next phase as they are,
// and the render frees them when its last round is painted.
#pragma once
#include <cstdint>

#include "core/BufferManager.h"

// A pooled block of at least the bytes when there is one (the smallest such), else the largest
// pooled block, to be grown, else an empty descriptor.
BufferDescriptor TakeRenderBuffer(uint64_t bytes);
// Keeps the block for the next taker (the descriptor is emptied). The pool holds two blocks a
// worker; beyond that the smallest of them and the returned one is freed.
void ReturnRenderBuffer(BufferDescriptor* buffer);
// Frees every pooled block, the compact entries' slabs too.
void ReleaseRenderBuffers();
// The bytes the pools hold, for tests.
uint64_t PooledRenderBytes();
