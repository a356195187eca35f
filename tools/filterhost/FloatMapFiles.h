// 32-bit float documents as Portable Float Map files (.pfm): the imaging component here has no
// float encoder, and PFM is the simplest float image format that other tools read.
#pragma once
#include <string>

#include "DocumentImage.h"

bool IsFloatMapPath(const std::wstring& path);
bool LoadFloatMap(const std::wstring& path, DocumentImage* document, std::string* error);
bool SaveFloatMap(const std::wstring& path, const DocumentImage& document, std::string* error);
