#include "tests/support/SupportFailure.h"

#include <cstdio>

namespace {

void PrintFailure(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
}

SupportFailureHandler g_handler = PrintFailure;

} // namespace

void SetSupportFailureHandler(SupportFailureHandler handler) {
    g_handler = handler ? handler : PrintFailure;
}

void ReportSupportFailure(const std::string& message) {
    g_handler(message);
}
