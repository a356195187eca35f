// The reference host's image files: writing and reading a 24-megapixel photograph-like document as
// 8 and 16-bit PNG and TIFF, against writing and reading the same bytes as a plain file in the
// same run, and the size the compression level buys. Run by `./bench.sh codecs`, which adds a
// whole run of the filter on the 8-bit PNG.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DocumentImage.h"
#include "ImageFiles.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;  // 24 megapixels

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The test picture with sensor-like noise of about 1 % of full scale: smooth gradients alone
// deflate far better, and faster, than any photograph.
DocumentImage MakePhotoLikeDocument(int bytesPerSample) {
  DocumentImage document = MakeTestDocument(kWidth, kHeight, 3, false, bytesPerSample, false);
  uint32_t state = 12345;
  for (auto& plane : document.planes) {
    for (size_t i = 0; i < plane.size() / size_t(bytesPerSample); ++i) {
      state = state * 1664525u + 1013904223u;
      int noise = int(state >> 29) - 4;  // -4..3
      if (bytesPerSample == 1) {
        plane[i] = uint8_t(std::clamp(int(plane[i]) + noise, 0, 255));
      } else {
        uint16_t v;
        memcpy(&v, plane.data() + 2 * i, 2);
        v = uint16_t(std::clamp(int(v) + noise * 97 + int(state >> 24 & 63), 0, 32768));
        memcpy(plane.data() + 2 * i, &v, 2);
      }
    }
  }
  return document;
}

unsigned long ProcessorCount() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  return system.dwNumberOfProcessors;
}

std::wstring ScratchFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"halvorn-codec-bench";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

double FileMegabytes(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return double((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow) / 1e6;
}

// The baseline: the document's bytes written to a file and read back, plane by plane.
double PlainFileSeconds(const DocumentImage& document, const std::wstring& path) {
  auto start = std::chrono::steady_clock::now();
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) return 0;
  for (const auto& plane : document.planes) fwrite(plane.data(), 1, plane.size(), out);
  fclose(out);
  std::vector<std::vector<uint8_t>> planes(document.planes.size());
  FILE* in = _wfopen(path.c_str(), L"rb");
  if (in == nullptr) return 0;
  for (size_t p = 0; p < planes.size(); ++p) {
    planes[p].resize(document.planes[p].size());
    if (fread(planes[p].data(), 1, planes[p].size(), in) != planes[p].size()) planes[p].clear();
  }
  fclose(in);
  double seconds = Since(start);
  DeleteFileW(path.c_str());
  return seconds;
}

// User and kernel time of all the process's threads.
double ProcessorSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}

struct Measurement {
  double write = 0, read = 0, processor = 0, megabytes = 0;
  bool sound = false;
};

Measurement MeasureFile(const DocumentImage& document, const std::wstring& path, int level) {
  Measurement m;
  std::string error;
  double processorAtStart = ProcessorSeconds();
  auto start = std::chrono::steady_clock::now();
  bool written = SaveImageFile(path, document, {}, &error, level);
  m.write = Since(start);
  if (!written) {
    printf("write failed: %s\n", error.c_str());
    return m;
  }
  m.megabytes = FileMegabytes(path);
  DocumentImage back;
  ImageFileInfo info;
  start = std::chrono::steady_clock::now();
  bool read = LoadImageFile(path, 0, -1, &back, &info, &error);
  m.read = Since(start);
  m.processor = ProcessorSeconds() - processorAtStart;
  if (!read) printf("read failed: %s\n", error.c_str());
  m.sound = read && back.planes == document.planes;
  DeleteFileW(path.c_str());
  return m;
}

// The fastest of `runs` (the machine's other work only ever adds time); sound only if all were.
Measurement FastestOf(int runs, const DocumentImage& document, const std::wstring& path, int level) {
  Measurement best = MeasureFile(document, path, level);
  for (int i = 1; i < runs; ++i) {
    Measurement m = MeasureFile(document, path, level);
    if (m.write + m.read < best.write + best.read) std::swap(m, best);
    best.sound = best.sound && m.sound;
  }
  return best;
}

void ReportRow(const char* name, const Measurement& m, double plain, double rawMegabytes) {
  printf("| %s | %.2f | %.2f | **%.2f** | %.2f | %.2f | %.1fx | %.0f MB (%.0f %%) | %s |\n", name, m.write, m.read, m.write + m.read,
         m.processor, plain, (m.write + m.read) / plain, m.megabytes, 100 * m.megabytes / rawMegabytes, m.sound ? "yes" : "NO");
}

}  // namespace

// `quick`: one run of the default level's rows; `--keep FILE`: also leaves the 8-bit document
// there as a PNG, for a whole run of the filter on it.
int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool levels = true;
  std::string keep;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "quick") == 0) levels = false;
    if (strcmp(argv[i], "--keep") == 0 && i + 1 < argc) keep = argv[++i];
  }
  if (!keep.empty()) {
    std::string error;
    if (!SaveImageFile(std::wstring(keep.begin(), keep.end()), MakePhotoLikeDocument(1), {}, &error)) {
      fprintf(stderr, "codec bench: %s\n", error.c_str());
      return 1;
    }
  }
  std::wstring folder = ScratchFolder();
  int runs = levels ? 3 : 1;
  printf("# Image file benchmark\n\n");
  printf("Generated by `./bench.sh codecs`: a %d x %d RGB document (gradients with noise of about 1 %% of full\n"
         "scale) written and read by the reference host, against writing and reading its bytes as a plain file\n"
         "in the same run. Times in seconds, the rows at the default level the fastest of %d runs; processor time\n"
         "is that of all threads (the fast levels deflate on every processor, %lu here); the last column checks\n"
         "that the document came back to the bit.\n\n",
         kWidth, kHeight, runs, ProcessorCount());
  printf("| file | write | read | read + write | processor | plain file | against plain | size (of raw) | same |\n"
         "|---|---|---|---|---|---|---|---|---|\n");
  for (int bytes : {1, 2}) {
    DocumentImage document = MakePhotoLikeDocument(bytes);
    double raw = double(kWidth) * kHeight * 3 * bytes / 1e6;
    double plain = PlainFileSeconds(document, folder + L"\\plain.raw");
    for (int i = 1; i < runs; ++i) plain = std::min(plain, PlainFileSeconds(document, folder + L"\\plain.raw"));
    char name[64];
    for (const wchar_t* type : {L"png", L"tif"}) {
      snprintf(name, sizeof name, "%d-bit %s, level %d", bytes * 8, type[0] == L'p' ? "PNG" : "TIFF", kFastCompressionLevel);
      ReportRow(name, FastestOf(runs, document, folder + L"\\bench." + type, kFastCompressionLevel), plain, raw);
    }
    for (int level : {0, 6, 9}) {
      if (!levels || bytes != 1) continue;
      snprintf(name, sizeof name, "8-bit PNG, level %d", level);
      ReportRow(name, MeasureFile(document, folder + L"\\bench.png", level), plain, raw);
    }
  }
  RemoveDirectoryW(folder.c_str());
  return 0;
}
