// Screenshots from the X server: starts xwd through Wine's view of the Linux file system, polls
// for its complete dump (Wine can neither wait for a Linux child nor read its exit code), decodes,
// and crops.
#include "XwdCapture.h"

#include <cstring>
#include <string>
#include <vector>


namespace {

// The fields of an X window dump header, each 32 bits, in file order.
enum XwdField {
  XWD_HEADER_SIZE,
  XWD_FILE_VERSION,
  XWD_PIXMAP_FORMAT,
  XWD_PIXMAP_DEPTH,
  XWD_PIXMAP_WIDTH,
  XWD_PIXMAP_HEIGHT,
  XWD_XOFFSET,
  XWD_BYTE_ORDER,
  XWD_BITMAP_UNIT,
  XWD_BITMAP_BIT_ORDER,
  XWD_BITMAP_PAD,
  XWD_BITS_PER_PIXEL,
  XWD_BYTES_PER_LINE,
  XWD_VISUAL_CLASS,
  XWD_RED_MASK,
  XWD_GREEN_MASK,
  XWD_BLUE_MASK,
  XWD_BITS_PER_RGB,
  XWD_COLORMAP_ENTRIES,
  XWD_NCOLORS,
  XWD_FIELD_COUNT = 25
};

constexpr uint32_t kXwdVersion = 7;
constexpr uint32_t kZPixmap = 2;
constexpr uint32_t kMsbFirst = 1;
constexpr size_t kColorEntryBytes = 12;  // pixel, red, green, blue, flags, pad
constexpr size_t kFixedHeaderBytes = XWD_FIELD_COUNT * 4;

struct XwdHeader {
  uint32_t field[XWD_FIELD_COUNT];
};

uint32_t ReadWord(const uint8_t* at, bool bigEndian) {
  return bigEndian ? uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3]
                   : uint32_t(at[3]) << 24 | uint32_t(at[2]) << 16 | uint32_t(at[1]) << 8 | at[0];
}

// xwd writes its header most significant byte first; other writers use their machine's order.
// The version field, 7, tells which.
bool ReadHeader(const uint8_t* data, size_t size, XwdHeader* header, std::string* error) {
  if (size < kFixedHeaderBytes) return false;
  bool bigEndian = ReadWord(data + 4, true) == kXwdVersion;
  if (!bigEndian && ReadWord(data + 4, false) != kXwdVersion) return *error = "not an X window dump of version 7", false;
  for (int i = 0; i < XWD_FIELD_COUNT; ++i) header->field[i] = ReadWord(data + 4 * i, bigEndian);
  const uint32_t* f = header->field;
  if (f[XWD_HEADER_SIZE] < kFixedHeaderBytes || f[XWD_HEADER_SIZE] > 65536)
    return *error = "the dump's header size is " + std::to_string(f[XWD_HEADER_SIZE]), false;
  if (f[XWD_PIXMAP_FORMAT] != kZPixmap) return *error = "the dump is not a ZPixmap", false;
  if (f[XWD_BITS_PER_PIXEL] != 24 && f[XWD_BITS_PER_PIXEL] != 32)
    return *error = "the dump has " + std::to_string(f[XWD_BITS_PER_PIXEL]) + " bits per pixel, not 24 or 32", false;
  if (f[XWD_PIXMAP_WIDTH] == 0 || f[XWD_PIXMAP_HEIGHT] == 0 || f[XWD_PIXMAP_WIDTH] > 32767 || f[XWD_PIXMAP_HEIGHT] > 32767)
    return *error = "the dump's size is out of range", false;
  if (f[XWD_BYTES_PER_LINE] < uint64_t(f[XWD_PIXMAP_WIDTH]) * f[XWD_BITS_PER_PIXEL] / 8)
    return *error = "the dump's lines are shorter than its width", false;
  if (f[XWD_RED_MASK] == 0 || f[XWD_GREEN_MASK] == 0 || f[XWD_BLUE_MASK] == 0)
    return *error = "the dump has no colour masks (not a true-colour visual)", false;
  if (f[XWD_NCOLORS] > 65536) return *error = "the dump's colour map is out of range", false;
  return true;
}

// A channel of a pixel through its mask, scaled to 0..255.
struct Channel {
  uint32_t mask;
  int shift = 0;
  int bits = 0;
  explicit Channel(uint32_t channelMask) : mask(channelMask) {
    while (((mask >> shift) & 1) == 0) ++shift;
    while (bits + shift < 32 && ((mask >> (shift + bits)) & 1) != 0) ++bits;
  }
  uint8_t Of(uint32_t pixel) const {
    uint32_t value = (pixel & mask) >> shift;
    if (bits >= 8) return uint8_t(value >> (bits - 8));
    return uint8_t(value * 255 / ((1u << bits) - 1));
  }
};

uint32_t ReadPixel(const uint8_t* at, int bytes, bool msbFirst) {
  uint32_t pixel = 0;
  for (int i = 0; i < bytes; ++i) pixel |= uint32_t(at[msbFirst ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
  return pixel;
}

// The Linux name of a Windows path, through Wine's own export (absent on Windows itself).
bool UnixPathOf(const std::wstring& path, std::string* unixPath) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto convert = kernel ? reinterpret_cast<UnixName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name"))) : nullptr;
  if (convert == nullptr) return false;
  char* name = convert(path.c_str());
  if (name == nullptr) return false;
  *unixPath = name;
  HeapFree(GetProcessHeap(), 0, name);
  return true;
}

bool StartXwd(const std::string& unixOut, std::string* error) {
  std::wstring commandLine = L"xwd -root -silent -out \"" + std::wstring(unixOut.begin(), unixOut.end()) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // Without a console at all: a console window would cover the very dialog being captured.
  if (!CreateProcessW(L"Z:\\usr\\bin\\xwd", commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                      &process)) {
    *error = "CreateProcessW(Z:\\usr\\bin\\xwd) failed with error " + std::to_string(GetLastError()) +
             " (is x11-apps installed?)";
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

bool ReadFileBytes(const std::wstring& path, std::vector<uint8_t>* bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (int64_t(1) << 31);
  if (ok) {
    bytes->resize(size_t(size.QuadPart));
    DWORD read = 0;
    ok = bytes->empty() || (ReadFile(file, bytes->data(), DWORD(bytes->size()), &read, nullptr) && read == bytes->size());
  }
  CloseHandle(file);
  return ok;
}

// Polls for the complete dump: xwd writes it front to back and the header says how long it is.
bool WaitForDump(const std::wstring& path, DWORD timeoutMs, std::vector<uint8_t>* bytes, std::string* error) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    std::string reason;
    if (ReadFileBytes(path, bytes)) {
      size_t expected = XwdDumpSize(bytes->data(), bytes->size(), &reason);
      if (!reason.empty()) return *error = reason, false;
      if (expected != 0 && bytes->size() >= expected) return true;
    }
    if (GetTickCount64() >= deadline) {
      *error = "xwd wrote no complete dump within " + std::to_string(timeoutMs / 1000) + " s";
      return false;
    }
    Sleep(50);
  }
}

}  // namespace

size_t XwdDumpSize(const uint8_t* data, size_t size, std::string* error) {
  XwdHeader header;
  if (!ReadHeader(data, size, &header, error)) return 0;
  const uint32_t* f = header.field;
  return size_t(f[XWD_HEADER_SIZE]) + size_t(f[XWD_NCOLORS]) * kColorEntryBytes +
         size_t(f[XWD_BYTES_PER_LINE]) * f[XWD_PIXMAP_HEIGHT];
}

bool DecodeXwd(const uint8_t* data, size_t size, FilePixels* pixels, std::string* error) {
  XwdHeader header;
  if (!ReadHeader(data, size, &header, error)) {
    if (error->empty()) *error = "the dump is shorter than its header";
    return false;
  }
  size_t total = XwdDumpSize(data, size, error);
  if (size < total) return *error = "the dump is " + std::to_string(size) + " bytes, not " + std::to_string(total), false;
  const uint32_t* f = header.field;
  if (!AllocateFilePixels(f[XWD_PIXMAP_WIDTH], f[XWD_PIXMAP_HEIGHT], 3, 8, pixels, error)) return false;
  const uint8_t* image = data + f[XWD_HEADER_SIZE] + size_t(f[XWD_NCOLORS]) * kColorEntryBytes;
  int bytes = int(f[XWD_BITS_PER_PIXEL] / 8);
  bool msbFirst = f[XWD_BYTE_ORDER] == kMsbFirst;
  Channel red(f[XWD_RED_MASK]), green(f[XWD_GREEN_MASK]), blue(f[XWD_BLUE_MASK]);
  for (int32_t y = 0; y < pixels->height; ++y) {
    const uint8_t* in = image + size_t(y) * f[XWD_BYTES_PER_LINE];
    uint8_t* out = pixels->Row(y);
    for (int32_t x = 0; x < pixels->width; ++x, in += bytes, out += 3) {
      uint32_t pixel = ReadPixel(in, bytes, msbFirst);
      out[0] = red.Of(pixel);
      out[1] = green.Of(pixel);
      out[2] = blue.Of(pixel);
    }
  }
  return true;
}

bool CropFilePixels(const FilePixels& image, const RECT& rectangle, FilePixels* cropped, std::string* error) {
  if (rectangle.right <= rectangle.left || rectangle.bottom <= rectangle.top) return *error = "the rectangle is empty", false;
  if (rectangle.left < 0 || rectangle.top < 0 || rectangle.right > image.width || rectangle.bottom > image.height) {
    *error = "the rectangle (" + std::to_string(rectangle.left) + "," + std::to_string(rectangle.top) + ")-(" +
             std::to_string(rectangle.right) + "," + std::to_string(rectangle.bottom) + ") is not wholly on the " +
             std::to_string(image.width) + "x" + std::to_string(image.height) + " screen";
    return false;
  }
  if (!AllocateFilePixels(rectangle.right - rectangle.left, rectangle.bottom - rectangle.top, image.channels, image.depth,
                          cropped, error))
    return false;
  size_t pixelBytes = size_t(image.channels) * size_t(image.depth / 8);
  for (int32_t y = 0; y < cropped->height; ++y)
    memcpy(cropped->Row(y), image.Row(rectangle.top + y) + size_t(rectangle.left) * pixelBytes, cropped->RowBytes());
  return true;
}

bool CaptureScreenRectangle(const RECT& rectangle, DWORD timeoutMs, FilePixels* pixels, std::string* error) {
  wchar_t folder[MAX_PATH] = {}, dumpPath[MAX_PATH] = {};
  if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"xwd", 0, dumpPath) == 0)
    return *error = "GetTempFileNameW failed with error " + std::to_string(GetLastError()), false;
  std::string unixDump;
  bool ok = UnixPathOf(dumpPath, &unixDump);
  if (!ok) *error = "screenshots need Wine's X server (wine_get_unix_file_name is missing)";
  std::vector<uint8_t> dump;
  FilePixels screen;
  ok = ok && StartXwd(unixDump, error) && WaitForDump(dumpPath, timeoutMs, &dump, error) &&
       DecodeXwd(dump.data(), dump.size(), &screen, error) && CropFilePixels(screen, rectangle, pixels, error);
  DeleteFileW(dumpPath);
  return ok;
}

bool IsUniform(const FilePixels& pixels) {
  size_t pixelBytes = size_t(pixels.channels) * size_t(pixels.depth / 8);
  for (size_t at = pixelBytes; at < pixels.samples.size(); at += pixelBytes)
    if (memcmp(&pixels.samples[at], &pixels.samples[0], pixelBytes) != 0) return false;
  return true;
}
