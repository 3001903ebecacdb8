// The support report: one text file with what support asks for when an update went wrong, gathered without
// touching an update in progress and without sending anything to the device. Both programs' users get it
// (the console's --report, support-report.bat beside the window).
#pragma once

#include <string>

// How many of the history's last runs the report holds, each whole.
constexpr int REPORT_HISTORY_RUNS = 10;

// The report's text (CR LF line ends) for the images of the current folder and the text table at
// `textTable`. The identity probe is made only when no other update holds the lock, which the report takes
// for the probe's time.
std::string MakeSupportReport(const std::string& textTable);
