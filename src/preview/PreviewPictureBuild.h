// The preview's picture (the host's proxy pyramid) is built on a thread of its own from the
// preview's start, alongside the highlight analysis, so that the first image frame finds it ready
// or nearly so instead of building it after the analysis.
#pragma once

// On the preview task at the layer's set-up; false when the thread could not be started (the
// first frame then builds the picture itself).
bool StartPreviewPictureBuild();
// Waits for the build, giving up when the frame is aborted; true when the picture is ready.
bool WaitForPreviewPicture();
// Cancels a build still running and waits for its thread; the picture stays for the caller to free.
void StopPreviewPictureBuild();
