// The shipped console program started with the tests' settings in its environment: it takes the PC's one
// update lock and writes the usual history, as without them.
#include "tests/app/WindowTestProgram.h"
#include "tests/cli/RunLockHolder.h"
#include "tests/support/CliProcess.h"

using namespace windowtest;

TEST(ShippedSettings, TheTestsLockScopeAndHistoryFolderChangeNothing) {
    VirtualDevice device; // sets NIMBREL_RUN_LOCK_SCOPE for the programs it starts
    HistoryFolder moved(NewFolder("shipped-history"));
    const std::string program = NewProgramFolder("shipped-settings", {"TandryUSB.dll", "lang.ini"});
    ASSERT_TRUE(CopyBeside("shipped\\NimbrelCli.exe", program + "\\NimbrelCli.exe"));
    const std::string folder = NewImageFolder("shipped-settings");
    const Bytes firm = MakeImage(3000, 1);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    // The tests' lock of this device is held: a copy that honoured the scope would end with 7.
    const RunLockHolder other(device);
    ASSERT_TRUE(other.Held());

    CliProcess cli;
    ASSERT_TRUE(cli.Start("--dir \"" + folder + "\"", program + "\\NimbrelCli.exe"));
    ASSERT_EQ(cli.Finish(), 0) << cli.Output() << cli.Errors();
    // The device may still be reading the image's last bytes from the pipe when the program ends.
    ASSERT_TRUE(device.WaitForImages(1, SEND_MS));
    ASSERT_EQ(device.Images().size(), 1u);
    ExpectReceived(device.Images()[0], firm, FIRM);

    // The run's lines are in the usual history, none in the folder the variable names.
    const std::string out = cli.Output();
    ASSERT_EQ(out.rfind("Run ", 0), 0u) << out;
    const std::string runId = out.substr(4, out.find_first_of("\r\n") - 4);
    EXPECT_TRUE(moved.Lines().empty());
    char appData[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableA("LOCALAPPDATA", appData, sizeof appData);
    ASSERT_TRUE(length > 0 && length < sizeof appData);
    bool found = false;
    for (const std::string& line : ReadLines(std::string(appData) + "\\Nimbrel\\history.log"))
        found = found || line.find("run=" + runId + " run-end outcome=completed") != std::string::npos;
    EXPECT_TRUE(found) << runId;
}
