// Chooses the codec: by the first bytes of a file read (so that a misnamed file still reads) and by
// the name of a file written. A file is written under a scratch name and moved into place only
// when complete, so that a failed write leaves nothing behind.
#include "ImageFiles.h"

#include <windows.h>

#include <cstdio>

#include "FilePixels.h"
#include "FloatMapFiles.h"
#include "PngFiles.h"
#include "TiffFiles.h"
#include "WicFiles.h"

namespace {

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool EndsWith(const std::wstring& path, const wchar_t* ending) {
  size_t length = wcslen(ending);
  return path.size() > length && _wcsicmp(path.c_str() + path.size() - length, ending) == 0;
}

bool IsTiffPath(const std::wstring& path) { return EndsWith(path, L".tif") || EndsWith(path, L".tiff"); }

bool LoadFloatMapFile(const std::wstring& path, int depth, int grayOverride, DocumentImage* document, ImageFileInfo* info,
                      std::string* error) {
  if (!LoadFloatMap(path, document, error)) return false;
  info->gray = document->colourPlanes == 1;
  info->depth = 32;
  info->alpha = false;
  info->iccProfile.clear();
  bool asTheyAre = (depth == 0 || depth == 32) && (grayOverride < 0 || grayOverride == int(info->gray));
  return asTheyAre || Fail(error, "float maps are read as they are: --mode and --depth cannot convert them");
}

bool ReadFilePixels(const std::wstring& path, FilePixels* pixels, std::vector<uint8_t>* iccProfile, std::string* error) {
  uint8_t head[8] = {};
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return Fail(error, "cannot read the image file");
  size_t size = fread(head, 1, sizeof head, file);
  fclose(file);
  if (HasPngSignature(head, size)) return ReadPngFile(path, pixels, iccProfile, error);
  if (HasTiffSignature(head, size)) return ReadTiffFile(path, pixels, iccProfile, error);
  return ReadWicFile(path, pixels, iccProfile, error);
}

bool WriteFilePixels(const std::wstring& path, bool tiff, const DocumentImage& document, const std::vector<uint8_t>& iccProfile,
                     int level, std::string* error) {
  FilePixels pixels = FilePixelsFromDocument(document);
  return tiff ? WriteTiffFile(path, pixels, iccProfile, level, error) : WritePngFile(path, pixels, iccProfile, level, error);
}

}  // namespace

bool LoadImageFile(const std::wstring& path, int depth, int grayOverride, DocumentImage* document, ImageFileInfo* info,
                   std::string* error) {
  if (IsFloatMapPath(path)) return LoadFloatMapFile(path, depth, grayOverride, document, info, error);
  FilePixels pixels;
  if (!ReadFilePixels(path, &pixels, &info->iccProfile, error)) return false;
  info->gray = grayOverride >= 0 ? grayOverride != 0 : pixels.Gray();
  info->depth = depth != 0 ? depth : pixels.depth;
  info->alpha = pixels.Alpha();
  DocumentFromFilePixels(pixels, info->depth, info->gray, document);
  return true;
}

bool CanSaveImageFile(const std::wstring& path, int depth, std::string* error) {
  if (IsFloatMapPath(path)) return depth == 32 || Fail(error, "only 32-bit documents are written as float maps");
  if (IsTiffPath(path)) return true;
  if (!EndsWith(path, L".png")) return Fail(error, "the output's name must end in .png, .tif or .pfm");
  return depth != 32 || Fail(error, "32-bit documents are written as TIFF or float maps: name a .tif or .pfm output");
}

bool SaveImageFile(const std::wstring& path, const DocumentImage& document, const std::vector<uint8_t>& iccProfile,
                   std::string* error, int compressionLevel) {
  if (!CanSaveImageFile(path, document.bytesPerSample * 8, error)) return false;
  if (IsFloatMapPath(path)) return SaveFloatMap(path, document, error);
  if (compressionLevel < 0 || compressionLevel > 9) return Fail(error, "the compression level runs from 0 to 9");
  bool tiff = IsTiffPath(path);
  std::wstring scratch = path + L".partial";
  std::string reason;
  if (!WriteFilePixels(scratch, tiff, document, iccProfile, compressionLevel, &reason)) {
    DeleteFileW(scratch.c_str());
    return Fail(error, "the output file could not be written: " + reason);
  }
  if (!MoveFileExW(scratch.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(scratch.c_str());
    return Fail(error, "the output file could not be put in place");
  }
  return true;
}
