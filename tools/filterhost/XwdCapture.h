// Screenshots from the X server under Wine: the root window through the X tool "xwd", its dump
// decoded (either header byte order, 24 or 32-bit ZPixmap pixels through their masks), cropped to
// a window. OpenGL content is on the X screen, which a GDI capture misses.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FilePixels.h"

// The size a complete dump has, from its header; 0 while the header is incomplete or not a dump
// this decoder reads (then *error says why, once there are enough bytes to tell).
size_t XwdDumpSize(const uint8_t* data, size_t size, std::string* error);
// The dump as 8-bit RGB file pixels; false with *error for a dump that is short or of a kind
// this decoder does not read.
bool DecodeXwd(const uint8_t* data, size_t size, FilePixels* pixels, std::string* error);
// The part of an 8-bit RGB image inside the rectangle (image coordinates); false with *error when
// the rectangle is empty or lies partly outside the image.
bool CropFilePixels(const FilePixels& image, const RECT& rectangle, FilePixels* cropped, std::string* error);
// Runs xwd on the root window, waits up to timeoutMs for its complete dump and keeps the screen
// rectangle as 8-bit RGB pixels.
bool CaptureScreenRectangle(const RECT& rectangle, DWORD timeoutMs, FilePixels* pixels, std::string* error);
// Every pixel the same: a window that the X server does not show yet.
bool IsUniform(const FilePixels& pixels);
