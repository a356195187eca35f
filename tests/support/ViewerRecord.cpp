// Reads the stand-in help viewer's record. Every viewer appends to the same file, each writing its
// own byte-order mark when it first opens it, so marks can stand anywhere in a line.
#include "ViewerRecord.h"

#include <algorithm>
#include <cstdlib>

#include "TestSupport.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

std::vector<std::string> Lines(const std::vector<uint8_t>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  for (size_t mark; (mark = text.find(kByteOrderMark)) != std::string::npos;) text.erase(mark, 3);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// "start <creation ticks> <command line>"
bool ParseStart(const std::string& line, ViewerStart* start) {
  if (line.rfind("start ", 0) != 0) return false;
  char* end = nullptr;
  start->created = strtoull(line.c_str() + 6, &end, 10);
  if (end == line.c_str() + 6 || *end != ' ') return false;
  start->commandLine = std::string(end + 1);
  size_t at = start->commandLine.find(" ms-its:");
  start->document = at == std::string::npos ? start->commandLine : start->commandLine.substr(at + 8);
  return true;
}

}  // namespace

ViewerRecord ReadViewerRecord(const std::wstring& logPath) {
  ViewerRecord record;
  for (const std::string& line : Lines(ReadWholeFile(logPath))) {
    ViewerStart start;
    if (ParseStart(line, &start)) record.starts.push_back(start);
    record.quits += line == "quit" ? 1 : 0;
    record.timeouts += line == "timeout" ? 1 : 0;
  }
  std::stable_sort(record.starts.begin(), record.starts.end(),
                   [](const ViewerStart& a, const ViewerStart& b) { return a.created < b.created; });
  return record;
}
