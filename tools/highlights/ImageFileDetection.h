// Detection on an image file as the reference host delivers it: the file becomes the host's
// document, the plug-in reads it as in a filter run and analyses it; the table is gLightSourceTable.
#pragma once
#include <string>

struct ImageFileDetection {
  std::wstring input, mask;
  int depth = 0;   // 0: the file's own
  int gray = -1;   // -1: the file's own; 0 colour; 1 grey
  bool noProfile = false;
};

// Calls `withTable` with the detection time while the table is valid; false with *error when the
// file could not be read or the detection failed.
bool DetectInImageFile(const ImageFileDetection& request, void (*withTable)(void* context, double seconds), void* context,
                       std::string* error);
