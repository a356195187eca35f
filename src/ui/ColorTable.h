// The colour table of the schemes: per entry the Windows colour it stands for and its colour in
// each scheme (COLORREF, 0x00BBGGRR).
#pragma once
#include <windows.h>

#include <cstdint>

struct SchemeColorRow {
  int systemColor;      // GetSysColor index read by the System schemes
  COLORREF colors[7];   // schemes 0-5; the seventh slot is read by no scheme
};

constexpr int kSchemeColorRowCount = 38;
// Columns 0 and 1 are refreshed from the system colours whenever a System scheme is applied.
extern SchemeColorRow gSchemeColorTable[kSchemeColorRowCount];
