// Image files that are neither PNG nor TIFF (JPEG, BMP, GIF and whatever else the Windows Imaging
// Component decodes), read at 8 bits with their embedded ICC profile.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "FilePixels.h"

bool ReadWicFile(const std::wstring& path, FilePixels* pixels, std::vector<uint8_t>* iccProfile, std::string* error);
