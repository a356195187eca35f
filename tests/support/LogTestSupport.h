// Opens and reads debug logs in a scratch folder for the log and report tests.
#pragma once
#include <string>
#include <vector>

#include "support/LogQueue.h"

// Roots the data folders in a fresh scratch folder and creates them.
std::wstring UseScratchDataFolders(const wchar_t* name);
std::wstring LogPathNumber(const std::wstring& root, int number);
// The text of a UTF-16 log file, byte-order mark removed, as UTF-8.
std::string ReadLogText(const std::wstring& path);
std::vector<std::string> SplitLines(const std::string& text);
// Opens queue and file in a mode, reports through the caller, and closes: the log's text.
std::string LogOf(LogMode mode, void (*report)());
