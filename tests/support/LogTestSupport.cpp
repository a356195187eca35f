// Scratch data folders and log readers shared by the log and report tests.
#include "support/LogTestSupport.h"

#include <windows.h>

#include "TestSupport.h"
#include "support/DataFolders.h"
#include "support/DebugLog.h"

std::wstring UseScratchDataFolders(const wchar_t* name) {
  std::wstring root = MakeScratchFolder(name);
  std::wstring common = root + L"\\common";
  CreateDirectoryW(common.c_str(), nullptr);
  SetDataFolderRoots(root.c_str(), common.c_str());
  MakeUserDataFolder();
  return root;
}

std::wstring LogPathNumber(const std::wstring& root, int number) {
  wchar_t name[64];
  swprintf(name, 64, L"\\Vellbrook\\HalvornPro3\\Logs\\HalvornPro3_%02d.log", number);
  return root + name;
}

std::string ReadLogText(const std::wstring& path) {
  std::vector<uint8_t> bytes = ReadWholeFile(path);
  if (bytes.size() < 2) return std::string();
  std::wstring wide(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), int(wide.size()), text.data(), size, nullptr, nullptr);
  return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string LogOf(LogMode mode, void (*report)()) {
  std::wstring root = UseScratchDataFolders(L"logof");
  InitializeLogQueue("Halvorn Pro 3");
  OpenDebugLog(mode);
  report();
  CloseDebugLog();
  std::string text = ReadLogText(LogPathNumber(root, 0));
  SetDataFolderRoots(nullptr, nullptr);
  return text;
}
