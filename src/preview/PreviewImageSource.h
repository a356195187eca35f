// Where the preview's picture comes from: the host's proxy pyramid, handed down by the host
// module when it opens the dialog (the preview cannot reach up to the host), or a test's own.
#pragma once
#include <cstdint>

#include "core/ImageRecord.h"

struct PreviewImageSource {
  // Builds the pyramid once per dialog, polling the cancel flag; true when it is ready.
  bool (*render)(const volatile bool* cancel) = nullptr;
  // The level for a requested scale pair: its record and, in place of the request, its own pair.
  bool (*level)(ImageRecord* record, double* scaleX, double* scaleY) = nullptr;
  void (*release)() = nullptr;
  // Level 0's image mode, chosen by the preview's OpenGL state before the pyramid is built.
  void (*setLevelZeroMode)(int32_t mode) = nullptr;
  // The filter rectangle of the host image: what "fit in view" fits.
  ImageRect imageRect{};
  // A grayscale document: the effect editor offers no colour balance for it.
  bool grayImage = false;
  // A document without a transparency plane: no frame needs the checkerboard behind it.
  bool opaque = false;
};

void SetPreviewImageSource(const PreviewImageSource& source);
PreviewImageSource CurrentPreviewImageSource();
