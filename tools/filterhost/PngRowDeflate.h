// The pixel data of a PNG file for the fast compression levels: rows filtered by their left
// neighbour and deflated as one zlib stream in segments on all processors.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "FilePixels.h"

// 8 or 16-bit pixels (16-bit in this machine's order; PNG's is big-endian) at zlib level 1 or 2.
bool DeflatePngRows(const FilePixels& pixels, int level, std::vector<uint8_t>* stream, std::string* error);
