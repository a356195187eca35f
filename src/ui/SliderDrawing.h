// The slider rows' track bars drawn in the colour scheme, through their custom-draw notices.
#pragma once
#include <windows.h>

#include <commctrl.h>

// The answer to a track bar's NM_CUSTOMDRAW: the channel and the thumb are drawn here.
LRESULT DrawSliderTrackBar(const NMCUSTOMDRAW& draw);
