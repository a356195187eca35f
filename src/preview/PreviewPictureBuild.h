// The preview's picture (the host's proxy pyramid) is built on a thread of its own from the
// dialog's start, alongside the highlight analysis and the making of the OpenGL contexts, so that
// the first image frame finds it ready or nearly so instead of building it after them.
#pragma once
#include <cstdint>

// Starts building the picture with level 0 at the given image mode, unless a build at that mode
// is already under way or done. The dialog starts one before the preview exists, at the mode the
// stored drawing setting leads to; the layer's set-up asks again for the mode it has chosen.
// False when the thread could not be started (the first frame then builds the picture itself).
bool StartPreviewPictureBuild(int32_t levelZeroMode);
// The level-0 mode the stored drawing setting leads to on a driver with 16-bit textures.
int32_t ExpectedLevelZeroMode();
// Waits for the build, giving up when the frame is aborted; true when the picture is ready.
bool WaitForPreviewPicture();
// Cancels a build still running and waits for its thread; the picture stays for the caller to free.
void StopPreviewPictureBuild();
// Stops the build and forgets it, for a picture that is being freed.
void ForgetPreviewPictureBuild();
