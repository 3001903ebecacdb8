// The main window from start to end: its texts, items, about box and the ways to close it.
#include "tests/app/WindowTestProgram.h"
#include "texts/TextKeys.h"

#include <functional>

using namespace windowtest;

TEST(WindowStart, ShowsTheTextsOfLangIniAndKeepsTheHiddenItemsHidden) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("texts");
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder));
    EXPECT_EQ(WindowDriver::WindowText(app.MainWindow()), LangText(TEXT_SECTION_TITLE, TEXT_WINDOW_TITLE));
    EXPECT_EQ(app.ItemText(IDC_UPDATE_FILE), LangText(TEXT_SECTION_CONTROL, TEXT_UPDATE_CAPTION));
    EXPECT_EQ(app.ItemText(IDCANCEL), LangText(TEXT_SECTION_CONTROL, TEXT_CANCEL_CAPTION));
    EXPECT_NE(LangText(TEXT_SECTION_TITLE, TEXT_WINDOW_TITLE), "Vexo Update");
    EXPECT_FALSE(app.ItemVisible(IDC_WEB_ADDRESS));
    EXPECT_FALSE(app.ItemVisible(IDC_SPARE_TEXT));
    EXPECT_EQ(app.FocusWhenActive(TICK_MS), app.Item(IDCANCEL));
    ASSERT_TRUE(WaitLinked(app));
    EXPECT_FALSE(app.ItemVisible(IDC_WEB_ADDRESS));
}

TEST(WindowStart, WithoutLangIniTheTextsAreEmptyAndTheWindowStillWorks) {
    VirtualDevice device;
    const std::string program = NewProgramFolder("no-lang", {"TandryUSB.dll"});
    const std::string folder = NewImageFolder("no-lang");
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder, program + "\\Nimbrel.exe"));
    EXPECT_EQ(WindowDriver::WindowText(app.MainWindow()), "");
    EXPECT_EQ(app.ItemText(IDC_UPDATE_FILE), "");
    EXPECT_EQ(app.ItemText(IDCANCEL), "");
    EXPECT_EQ(app.ItemText(IDC_LINK_STATUS), "");
    // No status text to wait for: the device tells when the monitor has found it.
    ASSERT_TRUE(device.WaitFor([](const VirtualDevice::Status& s) { return s.presenceChecks > 0; }, TICK_MS));
    ASSERT_TRUE(app.WaitUntilResponsive(TICK_MS));
    EXPECT_EQ(app.ItemText(IDC_LINK_STATUS), "");
    ASSERT_TRUE(RunWithoutTransfer(app, device));
    EXPECT_TRUE(app.MessageBoxes().empty());
    app.Click(IDCANCEL);
    EXPECT_TRUE(app.WaitForExit(START_MS));
}

// Notepad saves UTF-8, with or without the byte order mark: the window shows the letters as code page 1252
// has them (the tests' code page), not as two odd characters each.
TEST(WindowStart, ShowsALangIniSavedAsUtf8InTheAnsiCodePage) {
    ASSERT_EQ(::GetACP(), 1252u) << "the expected bytes are those of code page 1252";
    const std::string table = "[message]\r\n1025=Ger\xC3\xA4t nicht verbunden \xE2\x80\x93 pr\xC3\xBC"
                              "fen Sie das Kabel (\xC3\xA9, \xC3\xBC, \xC3\x9F, \xE2\x82\xAC).\r\n"
                              "[control]\r\n1002=Aktualisieren\xE2\x80\xA6\r\n";
    for (const char* mark : {"", "\xEF\xBB\xBF"}) {
        SCOPED_TRACE(*mark != '\0' ? "with the byte order mark" : "without");
        const std::string program = NewProgramFolder("utf8", {"TandryUSB.dll"});
        ASSERT_TRUE(WriteText(program + "\\lang.ini", mark + table));
        WindowDriver app;
        ASSERT_TRUE(StartProgram(app, NewImageFolder("utf8"), program + "\\Nimbrel.exe"));
        EXPECT_EQ(app.ItemText(IDC_LINK_STATUS), "Ger\xE4t nicht verbunden \x96 pr\xFC"
                                                 "fen Sie das Kabel (\xE9, \xFC, \xDF, \x80).");
        EXPECT_EQ(app.ItemText(IDC_UPDATE_FILE), "Aktualisieren\x85");
    }
}

TEST(WindowStart, CancelEscapeEnterAndTheCloseBoxEndTheProgram) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("closing");
    const auto closeBy = [&](const char* how, const std::function<void(WindowDriver&)>& close) {
        SCOPED_TRACE(how);
        WindowDriver app;
        ASSERT_TRUE(StartProgram(app, folder));
        ASSERT_TRUE(WaitLinked(app));
        close(app);
        DWORD status = 1;
        ASSERT_TRUE(app.WaitForExit(START_MS, &status));
        EXPECT_EQ(status, 0u);
    };
    closeBy("Cancel", [](WindowDriver& app) { app.Click(IDCANCEL); });
    // Keys go to the Cancel button, which has the focus; the dialog's key handling turns them into Cancel.
    const auto key = [](WindowDriver& app, WPARAM vk) {
        EXPECT_EQ(app.FocusWhenActive(TICK_MS), app.Item(IDCANCEL));
        ::PostMessageA(app.Item(IDCANCEL), WM_KEYDOWN, vk, 1);
        ::PostMessageA(app.Item(IDCANCEL), WM_KEYUP, vk, 0xC0000001);
    };
    closeBy("Escape", [&](WindowDriver& app) { key(app, VK_ESCAPE); });
    closeBy("Enter", [&](WindowDriver& app) { key(app, VK_RETURN); });
    closeBy("close box",
            [](WindowDriver& app) { ::PostMessageA(app.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(device.GetStatus().identityRequests, 0u);
}

TEST(WindowStart, TheSystemMenuOpensTheAboutBoxAndItsOkClosesIt) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("about");
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder));
    ::PostMessageA(app.MainWindow(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = app.WaitForOwnedDialog("About Download", START_MS);
    ASSERT_TRUE(about);
    bool versionShown = false;
    for (HWND child = ::GetWindow(about, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        versionShown = versionShown || WindowDriver::WindowText(child) == "Automatic update 1.0.0";
    EXPECT_TRUE(versionShown);
    ::PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(about, IDOK)));
    for (int i = 0; i < 100 && ::IsWindow(about); ++i)
        ::Sleep(20);
    EXPECT_FALSE(::IsWindow(about));
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(::IsWindowEnabled(app.MainWindow()));
}
