// Reads and writes the reference host's documents as image files: PNG and TIFF through libpng
// and libtiff, 32-bit float maps (.pfm), and JPEG, BMP and the rest in through WIC.
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

// Deflate level of written PNG and TIFF files: 0 none, 9 smallest; the default is fast.
constexpr int kFastCompressionLevel = 1;

// depth 0 and grayOverride -1 keep the file's own; 16-bit files become the host's 0..32768.
bool LoadImageFile(const std::wstring& path, int depth, int grayOverride, DocumentImage* document, ImageFileInfo* info,
                   std::string* error);
// Whether a document of the depth can be written under the name, and why not.
bool CanSaveImageFile(const std::wstring& path, int depth, std::string* error);
// The name decides the format: .png, .tif or .tiff, .pfm. The file appears only when complete.
bool SaveImageFile(const std::wstring& path, const DocumentImage& document, const std::vector<uint8_t>& iccProfile,
                   std::string* error, int compressionLevel = kFastCompressionLevel);
