#include "app/ProgressSetup.h"

namespace {

constexpr COLORREF BAR_START_COLOR = 0x808000; // teal: red 0, green 128, blue 128
constexpr COLORREF BAR_END_COLOR = 0x800000;   // navy: red 0, green 0, blue 128
constexpr COLORREF BAR_TEXT_COLOR = 0x008000;  // green

} // namespace

void ResetProgressBar(CGradientProgressCtrl& bar) {
    bar.SetRange(0, 100);
    bar.SetPos(0);
    bar.ShowPercent(TRUE);
    bar.SetStartColor(BAR_START_COLOR);
    bar.SetEndColor(BAR_END_COLOR);
    bar.SetTextColor(BAR_TEXT_COLOR);
}
