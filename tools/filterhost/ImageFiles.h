// Reads and writes the reference host's documents as image files through the Windows Imaging
// Component: PNG, TIFF, JPEG and BMP in; PNG and TIFF out at the document's depth.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "DocumentImage.h"

struct ImageFileInfo {
  bool gray = false;
  int depth = 8;  // 8, 16 or 32 bits per channel
  bool alpha = false;
  std::vector<uint8_t> iccProfile;  // empty when the file embeds none
};

// depth 0 and grayOverride -1 keep the file's own; 16-bit files become the host's 0..32768.
bool LoadImageFile(const std::wstring& path, int depth, int grayOverride, DocumentImage* document, ImageFileInfo* info,
                   std::string* error);
bool SaveImageFile(const std::wstring& path, const DocumentImage& document, const std::vector<uint8_t>& iccProfile,
                   std::string* error);
