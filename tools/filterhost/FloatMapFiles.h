// 32-bit float documents as Portable Float Map files (.pfm), beside float TIFF: the simplest float
// image format, which scripts and other tools read without a library.
#pragma once
#include <string>

#include "DocumentImage.h"

bool IsFloatMapPath(const std::wstring& path);
bool LoadFloatMap(const std::wstring& path, DocumentImage* document, std::string* error);
bool SaveFloatMap(const std::wstring& path, const DocumentImage& document, std::string* error);
