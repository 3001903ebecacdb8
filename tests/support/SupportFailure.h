// How the drivers report a failure that they cannot return to their caller. In a test program the failure
// fails the running test (GTestSupportFailures.cpp installs that); elsewhere it goes to standard error.
#pragma once

#include <string>

using SupportFailureHandler = void (*)(const std::string& message);

// Replaces the handler; null puts back the default (standard error).
void SetSupportFailureHandler(SupportFailureHandler handler);

void ReportSupportFailure(const std::string& message);
