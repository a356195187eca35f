// TIFF files through libtiff: 8 and 16-bit unsigned and 32-bit float gray and RGB, with or without
// alpha, in strips or tiles, chunky or planar; other kinds through libtiff's RGBA reader at 8 bits.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "FilePixels.h"

bool HasTiffSignature(const uint8_t* head, size_t size);
bool ReadTiffFile(const std::wstring& path, FilePixels* pixels, std::vector<uint8_t>* iccProfile, std::string* error);
// level 0 writes uncompressed strips, 1 to 9 deflate at that level with a predictor.
bool WriteTiffFile(const std::wstring& path, const FilePixels& pixels, const std::vector<uint8_t>& iccProfile, int level,
                   std::string* error);
