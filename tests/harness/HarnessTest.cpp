#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr COLORREF PAINT_COLOUR = RGB(12, 140, 200);

LRESULT CALLBACK SolidWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH brush = CreateSolidBrush(PAINT_COLOUR);
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

std::string SiblingPath(const char* fileName) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1) + fileName;
}

// Runs the child with the given arguments; returns its exit code and how long it took.
DWORD RunChild(const std::string& args, DWORD* elapsedMs) {
    std::string command = "\"" + SiblingPath("harness_child.exe") + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    DWORD start = GetTickCount();
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return ~0u;
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    *elapsedMs = GetTickCount() - start;
    DWORD code = ~0u;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

} // namespace

TEST(Harness, WindowPaintsAColourThatReadsBack) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = SolidWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HarnessSolidWindow";
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "harness", WS_POPUP | WS_VISIBLE, 40, 40, 120, 80,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    UpdateWindow(hwnd);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&msg);
    }

    HDC windowDc = GetDC(hwnd);
    HDC memDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, 120, 80);
    HGDIOBJ old = SelectObject(memDc, bitmap);
    ASSERT_TRUE(BitBlt(memDc, 0, 0, 120, 80, windowDc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(memDc, 60, 40), PAINT_COLOUR);
    EXPECT_EQ(GetPixel(memDc, 0, 0), PAINT_COLOUR);
    EXPECT_EQ(GetPixel(memDc, 119, 79), PAINT_COLOUR);
    SelectObject(memDc, old);
    DeleteObject(bitmap);
    DeleteDC(memDc);
    ReleaseDC(hwnd, windowDc);
    DestroyWindow(hwnd);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

TEST(Harness, ChildProcessExitCodeAndCrashReachTheParent) {
    DWORD elapsed = 0;
    EXPECT_EQ(RunChild("exit 42", &elapsed), 42u);
    EXPECT_EQ(RunChild("exit 0", &elapsed), 0u);
    // A crash must end the child at once with its exception code, never leave it waiting in a crash dialog.
    EXPECT_EQ(RunChild("crash", &elapsed), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_LT(elapsed, 15000u);
}
