// What the stand-in help viewer recorded in "<its path>.log": the viewers started, in the order
// they were started, and how many were told to quit or ended by themselves.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ViewerStart {
  uint64_t created = 0;     // the process's creation time, which orders the starts
  std::string commandLine;  // as the viewer was started: "<viewer> ms-its:<document>"
  std::string document;     // after "ms-its:"; the whole command line when it has none
};

struct ViewerRecord {
  std::vector<ViewerStart> starts;  // oldest first
  int quits = 0;                    // viewers that received WM_QUIT
  int timeouts = 0;                 // viewers that nobody ended and that left by themselves
};

ViewerRecord ReadViewerRecord(const std::wstring& logPath);
