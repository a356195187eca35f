// PNG files through libpng: every colour type and depth in (palettes and low bit depths widened
// to 8 bits, tRNS to alpha), 8 and 16-bit gray, gray + alpha, RGB and RGBA out, with the ICC profile.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "FilePixels.h"

bool HasPngSignature(const uint8_t* head, size_t size);
bool ReadPngFile(const std::wstring& path, FilePixels* pixels, std::vector<uint8_t>* iccProfile, std::string* error);
// level: zlib's 0 (stored) to 9 (smallest); low levels also choose faster row filters.
bool WritePngFile(const std::wstring& path, const FilePixels& pixels, const std::vector<uint8_t>& iccProfile, int level,
                  std::string* error);
