// Message boxes as another thread sees them: it finds the box among the caller's windows, reads it, and
// presses OK.
#include "tests/framework/SampleDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

struct BoxSeen {
    bool found = false;
    std::string caption;
    std::string text;
    HICON icon = nullptr;
    bool hasCancel = true;
    HWND owner = nullptr;
};

BOOL CALLBACK FindBox(HWND hWnd, LPARAM lParam) {
    char className[16] = {};
    ::GetClassNameA(hWnd, className, sizeof(className));
    if (std::string(className) == "#32770" && ::GetDlgItem(hWnd, 0xFFFF) != nullptr) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

// Runs on its own thread: waits up to 10 s for a box of thread `owner`, reads it and answers OK.
BoxSeen ReadAndClose(DWORD ownerThread) {
    BoxSeen seen;
    HWND box = nullptr;
    for (int i = 0; i < 1000 && box == nullptr; ++i) {
        ::EnumThreadWindows(ownerThread, &FindBox, reinterpret_cast<LPARAM>(&box));
        if (box == nullptr)
            ::Sleep(10);
    }
    if (box == nullptr)
        return seen;
    seen.found = true;
    char buffer[256] = {};
    ::GetWindowTextA(box, buffer, sizeof(buffer));
    seen.caption = buffer;
    ::GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));
    seen.text = buffer;
    seen.icon = reinterpret_cast<HICON>(::SendDlgItemMessageA(box, 1088, STM_GETICON, 0, 0));
    seen.hasCancel = ::GetDlgItem(box, IDCANCEL) != nullptr;
    seen.owner = ::GetWindow(box, GW_OWNER);
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
    return seen;
}

int ShowAndRead(BoxSeen& seen, LPCTSTR text, UINT type) {
    std::thread reader([&seen, caller = ::GetCurrentThreadId()] { seen = ReadAndClose(caller); });
    const int result = AfxMessageBox(text, type);
    reader.join();
    return result;
}

std::string ProgramBaseName() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string name(path);
    name = name.substr(name.find_last_of("\\/") + 1);
    return name.substr(0, name.rfind('.'));
}

TEST(FrameworkMessageBox, CarriesTheProgramTitleAndTheExclamationIconWhenNoneIsAsked) {
    BoxSeen seen;
    EXPECT_EQ(IDOK, ShowAndRead(seen, "Device not attached", MB_OK));
    ASSERT_TRUE(seen.found);
    EXPECT_EQ("framework_tests", ProgramBaseName());
    EXPECT_EQ(ProgramBaseName(), seen.caption);
    EXPECT_STREQ(AfxGetAppName(), seen.caption.c_str());
    EXPECT_EQ("Device not attached", seen.text);
    EXPECT_EQ(::LoadIconA(nullptr, MAKEINTRESOURCEA(32515)), seen.icon) << "exclamation icon";
    EXPECT_FALSE(seen.hasCancel) << "OK only";
}

TEST(FrameworkMessageBox, KeepsTheIconThatTheCallerAsksFor) {
    BoxSeen seen;
    EXPECT_EQ(IDOK, ShowAndRead(seen, "Stop here", MB_OK | MB_ICONHAND));
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(::LoadIconA(nullptr, MAKEINTRESOURCEA(32513)), seen.icon) << "stop icon";
}

TEST(FrameworkMessageBox, IsOwnedByTheMainWindow) {
    CSampleDlg dlg;
    BoxSeen seen;
    int result = 0;
    HWND mainWindow = nullptr;
    dlg.m_script = [&](CSampleBaseDlg& self) {
        mainWindow = self.m_hWnd;
        AfxGetApp()->m_pMainWnd = &self;
        result = ShowAndRead(seen, "Owned", MB_OK);
        AfxGetApp()->m_pMainWnd = nullptr;
        self.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(IDOK, result);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(mainWindow, seen.owner);
}

} // namespace
