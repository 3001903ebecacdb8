// Linked into every test program: a driver's failure fails the test that is running.
#include "tests/support/SupportFailure.h"

#include <gtest/gtest.h>

namespace {

void FailRunningTest(const std::string& message) {
    ADD_FAILURE() << message;
}

const bool g_installed = (SetSupportFailureHandler(FailRunningTest), true);

} // namespace
