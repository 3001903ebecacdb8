// The arithmetic of the gradient progress bar, kept apart from the drawing so
// that it can be checked without a window: where each colour band lies, what
// colour it has, how much of the bar is done and what text it carries.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gradient {

// One colour band, covering the client columns [left, right).
struct Band {
    int left;
    int right;
    COLORREF colour;
};

// What a paint of the bar puts into the client area, left to right: the bands
// in order, then the background from backgroundLeft to the client's right edge
// (nothing when backgroundLeft equals the client width).
struct BarLayout {
    std::vector<Band> bands;
    int backgroundLeft = 0;
};

// Position outside [lower, upper]: the bar shows neither gradient nor text.
bool IsOutsideRange(int position, int lower, int upper);

// Columns done: position / upper x client width, rounded to single precision
// and truncated toward zero. 0 when the upper bound is 0 or below, where the
// fraction has no meaning.
int FilledWidth(int position, int upper, int clientWidth);

// Number of bands between two colours: the largest channel difference.
int BandCount(COLORREF start, COLORREF end);

// Lays the gradient from start toward end over the whole client width and
// keeps the bands up to the one that holds the filled width, drawn whole.
// Equal colours give a plain bar in the start colour that ends exactly at
// the filled width.
BarLayout LayOutBar(COLORREF start, COLORREF end, int clientWidth, int filledWidth);

// "45%", or "45% : suffix" when the suffix is not empty. Empty when the upper
// bound is 0 or below: there is no percentage to show.
std::string PercentText(int position, int upper, const std::string& suffix);

} // namespace gradient
