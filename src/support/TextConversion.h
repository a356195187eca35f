// Conversions between the wide paths of the file system and the ANSI text of reports.
#pragma once
#include <string>

std::string NarrowText(const wchar_t* text);
std::wstring WidenText(const char* text);
