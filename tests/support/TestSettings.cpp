// The tests' settings, read from the environment (engine/TestSettings.h): linked into the tests' copies of
// the programs and into the test programs only, never into a shipped program.
#include "engine/TestSettings.h"

#include <windows.h>

namespace {

std::string Variable(const char* name) {
    char value[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

} // namespace

std::string TestRunLockScope() {
    return Variable("NIMBREL_RUN_LOCK_SCOPE");
}

std::string TestHistoryFolder() {
    return Variable("NIMBREL_HISTORY_DIR");
}
