#include "tests/app/WindowTestProgram.h"
#include "texts/TextKeys.h"

#include <windows.h>

#include <commctrl.h>

namespace windowtest {

std::string NewProgramFolder(const std::string& name, const std::vector<std::string>& companions) {
    const std::string folder = NewFolder(name + "-program");
    CopyBeside("Nimbrel.exe", folder + "\\Nimbrel.exe");
    for (const auto& file : companions)
        CopyBeside(file, folder + "\\" + file);
    return folder;
}

std::string RecordedProgram(const std::string& name) {
    const std::string program = NewProgramFolder(name, {"TandryUSB.dll", "lang.ini"});
    CopyBeside("NimbrelRecorded.exe", program + "\\Nimbrel.exe");
    return program;
}

::testing::AssertionResult StartProgram(WindowDriver& app, const std::string& imageFolder,
                                        const std::string& program) {
    if (!app.Start(program, imageFolder))
        return ::testing::AssertionFailure()
               << "cannot start " << program << " (error " << ::GetLastError() << ")";
    if (!app.WaitForMainWindow(START_MS))
        return ::testing::AssertionFailure() << "no main window within " << START_MS << " ms";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult WaitLinked(WindowDriver& app) {
    if (app.WaitForItemText(IDC_LINK_STATUS, LangText(TEXT_SECTION_MESSAGE, TEXT_LINKED), TICK_MS))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "link status still \"" << app.ItemText(IDC_LINK_STATUS) << "\"";
}

::testing::AssertionResult StartAndPressUpdateFile(WindowDriver& app, const std::string& imageFolder,
                                                   const std::string& program) {
    const ::testing::AssertionResult started = StartProgram(app, imageFolder, program);
    if (!started)
        return started;
    const ::testing::AssertionResult linked = WaitLinked(app);
    if (!linked)
        return linked;
    app.Click(IDC_UPDATE_FILE);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RunWithoutTransfer(WindowDriver& app, VirtualDevice& device, unsigned requests) {
    app.Click(IDC_UPDATE_FILE);
    if (!device.WaitFor([&](const VirtualDevice::Status& s) { return s.identityRequests >= requests; },
                        RUN_MS))
        return ::testing::AssertionFailure() << "the identity request #" << requests << " never came";
    if (!app.WaitUntilResponsive(RUN_MS))
        return ::testing::AssertionFailure() << "the window did not handle messages again";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult WaitSent(WindowDriver& app, VirtualDevice& device, unsigned count) {
    if (!device.WaitForImages(count, SEND_MS))
        return ::testing::AssertionFailure() << "fewer than " << count << " images arrived";
    if (!app.WaitForItemText(IDC_RESULT_TEXT, LangText(TEXT_SECTION_MESSAGE, TEXT_IMAGE_SENT), SEND_MS))
        return ::testing::AssertionFailure() << "no result text";
    if (!app.WaitUntilResponsive(SEND_MS))
        return ::testing::AssertionFailure() << "window not responsive";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult UnplugIsNoFailure(WindowDriver& app, VirtualDevice& device) {
    device.Unplug();
    if (!app.WaitForItemText(IDC_LINK_STATUS, LangText(TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED), TICK_MS))
        return ::testing::AssertionFailure() << "the unplug was not seen";
    // A failed-download box would come up within the very tick that changed the text.
    ::Sleep(400);
    const auto boxes = app.MessageBoxes();
    if (!boxes.empty())
        return ::testing::AssertionFailure() << "unexpected box \"" << boxes.front().text << "\"";
    if (!app.Running())
        return ::testing::AssertionFailure() << "the program ended";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult AnswerBox(WindowDriver& app, const std::string& text, WindowDriver::BoxIcon icon) {
    const auto box = app.WaitForMessageBox(RUN_MS);
    if (!box)
        return ::testing::AssertionFailure() << "no message box (expected \"" << text << "\")";
    const auto boxes = app.MessageBoxes();
    if (boxes.size() != 1)
        return ::testing::AssertionFailure() << boxes.size() << " boxes open";
    if (box->text != text)
        return ::testing::AssertionFailure()
               << "box says \"" << box->text << "\", expected \"" << text << "\"";
    if (box->caption != "Nimbrel")
        return ::testing::AssertionFailure() << "box caption \"" << box->caption << "\"";
    const auto seen = app.GetBoxIcon(box->hwnd);
    if (seen != icon)
        return ::testing::AssertionFailure()
               << "box icon " << static_cast<int>(seen) << ", expected " << static_cast<int>(icon);
    app.Answer(box->hwnd);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult AnswerStopBoxAndExit(WindowDriver& app, const std::string& text) {
    const ::testing::AssertionResult answered = AnswerBox(app, text, WindowDriver::BoxIcon::Stop);
    if (!answered)
        return answered;
    DWORD status = 1;
    if (!app.WaitForExit(RUN_MS, &status))
        return ::testing::AssertionFailure() << "the program did not end after the box";
    if (status != 0)
        return ::testing::AssertionFailure() << "the program ended with " << status;
    return ::testing::AssertionSuccess();
}

void ExpectReceived(const VirtualDevice::Image& got, const Bytes& image, const char* name) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(got.complete);
    EXPECT_EQ(got.command, Command(image));
    EXPECT_EQ(got.payload, Payload(image));
    ASSERT_FALSE(got.writeSizes.empty());
    EXPECT_EQ(got.writeSizes.front(), 20u);
    for (size_t i = 1; i < got.writeSizes.size(); ++i)
        EXPECT_LE(got.writeSizes[i], 2048u);
}

void ExpectHistory(const std::vector<std::string>& lines, const std::vector<std::string>& patterns) {
    ASSERT_EQ(lines.size(), patterns.size()) << (lines.empty() ? "" : lines.back());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(HistoryLineMatches(lines[i], patterns[i])) << lines[i];
        EXPECT_EQ(lines[i].compare(19, 5, " run="), 0) << "every line names its run: " << lines[i];
    }
}

long BarPosition(const WindowDriver& app) {
    DWORD_PTR position = 0;
    if (!::SendMessageTimeoutA(app.Item(IDC_PROGRESS), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position))
        return -1;
    return static_cast<long>(position);
}

} // namespace windowtest
