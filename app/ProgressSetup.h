#pragma once

#include "controls/GradientProgressCtrl.h"

// Puts the bar back to its starting look: range 0 to 100 at position 0, the percentage shown, teal to navy,
// green text. The window does this when it starts and the update run before each stage it shows.
void ResetProgressBar(CGradientProgressCtrl& bar);
