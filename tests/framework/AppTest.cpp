// The entry point runs the program's application object and ends the process when InitInstance fails.
#include "system/Paths.h"
#include "framework/afxwin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FrameworkApp, InitInstanceFalseEndsTheProgramWithoutAMessageLoop) {
    const std::string probe = ProgramFolder() + "fw_app_probe.exe";

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessA(probe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process))
        << probe;
    const DWORD waited = ::WaitForSingleObject(process.hProcess, 20000);
    if (waited != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), waited) << "the program kept running after InitInstance";
    EXPECT_EQ(42u, exitCode);
}

} // namespace
