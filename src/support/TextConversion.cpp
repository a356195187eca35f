// Conversions between the wide paths of the file system and the ANSI text of reports. Reports are
// formatted in the thread's ANSI code page and widened again for the log, so paths go the same way.
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

std::wstring WidenText(const char* text) {
  if (text == nullptr || *text == 0) return std::wstring();
  int chars = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
  if (chars <= 1) return std::wstring();
  std::wstring result(size_t(chars - 1), L'\0');
  MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, result.data(), chars);
  return result;
}
