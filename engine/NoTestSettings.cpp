// What the shipped programs link: no test settings.
#include "engine/TestSettings.h"

std::string TestRunLockScope() {
    return {};
}

std::string TestHistoryFolder() {
    return {};
}
