// Conversion of the file system's wide paths into the ANSI text of reports. Reports are formatted
// in the thread's ANSI code page and widened again for the log, so paths take the same way.
#include "support/TextConversion.h"

#include <windows.h>

std::string NarrowText(const wchar_t* text) {
  if (text == nullptr || *text == 0) return std::string();
  int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string result(size_t(bytes - 1), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, result.data(), bytes, nullptr, nullptr);
  return result;
}
