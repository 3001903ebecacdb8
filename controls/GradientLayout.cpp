#include "controls/GradientLayout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace gradient {

namespace {

int Red(COLORREF c) {
    return GetRValue(c);
}
int Green(COLORREF c) {
    return GetGValue(c);
}
int Blue(COLORREF c) {
    return GetBValue(c);
}

// Rounds to single precision also where the compiler would keep the value in
// a wider register (the x87 unit of 32-bit builds), so that both builds cut
// the bands at the same columns.
float Single(float value) {
    volatile float stored = value;
    return stored;
}

int Truncated(float value) {
    return static_cast<int>(Single(value));
}

// start + i x step in single precision, truncated; only the low byte counts.
int Channel(int start, int i, float step) {
    return Truncated(start + Single(i * step)) & 0xFF;
}

} // namespace

bool IsOutsideRange(int position, int lower, int upper) {
    return position < lower || position > upper;
}

int FilledWidth(int position, int upper, int clientWidth) {
    if (upper <= 0)
        return 0;
    float filled = Single(static_cast<float>(static_cast<double>(position) / upper * clientWidth));
    // A far negative lower bound could push the value past what an int holds;
    // beyond one bar's width either way nothing changes on screen.
    const float limit = static_cast<float>(clientWidth);
    filled = std::clamp(filled, -limit, limit);
    return static_cast<int>(filled);
}

int BandCount(COLORREF start, COLORREF end) {
    return std::max({std::abs(Red(end) - Red(start)), std::abs(Green(end) - Green(start)),
                     std::abs(Blue(end) - Blue(start))});
}

BarLayout LayOutBar(COLORREF start, COLORREF end, int clientWidth, int filledWidth) {
    BarLayout layout;
    layout.backgroundLeft = clientWidth;
    if (filledWidth == 0) {
        layout.backgroundLeft = 0;
        return layout;
    }
    const int n = BandCount(start, end);
    if (n == 0) {
        const int right = std::clamp(filledWidth, 0, clientWidth);
        if (right > 0)
            layout.bands.push_back({0, right, start});
        layout.backgroundLeft = right;
        return layout;
    }
    const float w = Single(static_cast<float>(clientWidth) / n);
    const float stepR = Single(static_cast<float>(Red(end) - Red(start)) / n);
    const float stepG = Single(static_cast<float>(Green(end) - Green(start)) / n);
    const float stepB = Single(static_cast<float>(Blue(end) - Blue(start)) / n);
    for (int i = 0; i < n; ++i) {
        const int left = Truncated(i * w);
        // n x w in single precision can fall a little short of the width
        // (100 / 3 x 3 = 99.99...); the last band still reaches the edge, so
        // that no column is left unpainted.
        const int right = i == n - 1 ? clientWidth : Truncated((i + 1) * w);
        const COLORREF colour = RGB(Channel(Red(start), i, stepR), Channel(Green(start), i, stepG),
                                    Channel(Blue(start), i, stepB));
        layout.bands.push_back({left, right, colour});
        if (right > filledWidth) {
            layout.backgroundLeft = right;
            break;
        }
    }
    return layout;
}

std::string PercentText(int position, int upper, const std::string& suffix) {
    if (upper <= 0)
        return {};
    char number[32];
    std::snprintf(number, sizeof number, "%.0f%%", position * 100.0 / upper);
    std::string text = number;
    if (!suffix.empty())
        text += " : " + suffix;
    return text;
}

} // namespace gradient
