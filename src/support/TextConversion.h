// Conversion of the file system's wide paths into the ANSI text of reports.
#pragma once
#include <string>

std::string NarrowText(const wchar_t* text);
