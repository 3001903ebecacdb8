// Plenwick.exe: the companion tool the updater opens when it cannot find the device. It tells the user what
// to check, and notes every launch (with the folder it was started in) in plenwick-launches.log beside
// itself.
//
// It closes by itself after a delay when asked to: "--close-after-ms N" on its command line or the
// environment variable PLENWICK_CLOSE_AFTER_MS, so that automated runs leave nothing open.
#include "system/Paths.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int CLOSE_ID = 1;
constexpr UINT_PTR CLOSE_TIMER = 1;

const char TITLE[] = "Plenwick - Ostrel device not found";
const char ADVICE[] = "The updater cannot find your Ostrel device.\r\n\r\n"
                      "Please check:\r\n\r\n"
                      "  1.  Cable: the USB cable is firmly plugged in at both ends. Try another\r\n"
                      "       USB port on the computer, or another cable.\r\n\r\n"
                      "  2.  Power: the device is switched on and its battery is not empty.\r\n\r\n"
                      "  3.  Driver: the Tandry USB driver is installed. The device should appear\r\n"
                      "       in the Device Manager without a warning sign.\r\n\r\n"
                      "The updater notices the device by itself as soon as it is attached.";

// One line per launch: local time, process id, current directory. Appending keeps concurrent launches whole.
void noteLaunch() {
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SYSTEMTIME t;
    GetLocalTime(&t);
    char line[MAX_PATH + 128];
    const int length = std::snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u pid=%lu cwd=%s\r\n",
                                     t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                                     static_cast<unsigned long>(GetCurrentProcessId()), cwd);
    const std::string path = ProgramFolder() + "plenwick-launches.log";
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length > 0 ? length : 0), &written, nullptr);
    CloseHandle(file);
}

UINT closeAfterMs() {
    for (int i = 1; i + 1 < __argc; ++i) {
        if (std::strcmp(__argv[i], "--close-after-ms") == 0) {
            return static_cast<UINT>(std::strtoul(__argv[i + 1], nullptr, 10));
        }
    }
    char value[32] = {};
    if (GetEnvironmentVariableA("PLENWICK_CLOSE_AFTER_MS", value, sizeof value) > 0) {
        return static_cast<UINT>(std::strtoul(value, nullptr, 10));
    }
    return 0;
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        HWND text = CreateWindowExA(0, "STATIC", ADVICE, WS_CHILD | WS_VISIBLE, 16, 16, 440, 230, window,
                                    nullptr, create->hInstance, nullptr);
        HWND button = CreateWindowExA(0, "BUTTON", "Close",
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 376, 256, 80, 26,
                                      window, reinterpret_cast<HMENU>(CLOSE_ID), create->hInstance, nullptr);
        SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == CLOSE_ID || LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(window);
        }
        return 0;
    case WM_TIMER:
        if (wParam == CLOSE_TIMER) {
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    noteLaunch();

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIcon(nullptr, IDI_INFORMATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "PlenwickAdvice";
    if (RegisterClassA(&windowClass) == 0) {
        return 1;
    }
    RECT frame{0, 0, 472, 298};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, TITLE, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    const UINT closeAfter = closeAfterMs();
    if (closeAfter > 0) {
        SetTimer(window, CLOSE_TIMER, closeAfter, nullptr);
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return 0;
}
