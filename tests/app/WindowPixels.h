// What the main window draws itself, read from the screen in the window's own process: the title picture and
// the bar's percentage at the window's scale.
#pragma once

#include <windows.h>

// The title picture's item: the template's one bitmap item.
HWND BannerOf(HWND dialog);

// The picture covers its item to every edge: the banner's pale top and bottom stripes, its teal left and
// navy right ends, nowhere the window's face colour. `lowestRow` < 1 looks only at the rows down to that
// fraction of the item, where other items may lie over its lower part.
void ExpectPictureFillsItem(HWND banner, double lowestRow = 1.0);

// The bar's percentage text (the green of the program's set-up) lies whole inside the bar, centred, and its
// letters are as tall as the 100% look's scaled to `dpi`.
void ExpectPercentTextCentredAndSized(HWND bar, UINT dpi);
