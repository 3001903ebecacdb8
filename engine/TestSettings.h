// Settings that exist for the tests only: an update lock of their own for the programs a test starts, so that
// tests side by side never keep each other out, and a history folder of the test's own. The shipped programs
// link engine/NoTestSettings.cpp, which has none, so that no variable of the environment can split the PC's
// one update lock or move its history; the tests' copies of the programs, and the test programs, link
// tests/support/TestSettings.cpp in its place.
#pragma once

#include <string>

// A name that the update lock's name ends with; empty: the PC's one lock.
std::string TestRunLockScope();

// The folder of the update history; empty: the usual one.
std::string TestHistoryFolder();
