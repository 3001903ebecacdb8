#include "app/ProgressSetup.h"

namespace {

constexpr COLORREF kBarStartColor = 0x808000; // teal: red 0, green 128, blue 128
constexpr COLORREF kBarEndColor = 0x800000;   // navy: red 0, green 0, blue 128
constexpr COLORREF kBarTextColor = 0x008000;  // green

} // namespace

void ResetProgressBar(CGradientProgressCtrl& bar) {
    bar.SetRange(0, 100);
    bar.SetPos(0);
    bar.ShowPercent(TRUE);
    bar.SetStartColor(kBarStartColor);
    bar.SetEndColor(kBarEndColor);
    bar.SetTextColor(kBarTextColor);
}
