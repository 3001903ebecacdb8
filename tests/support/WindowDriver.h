// Drives a running dialog program from another process, the way a user would: starts it in a folder of its
// own, finds its main window and message boxes, reads texts, presses buttons, captures pixels from the
// screen, and waits for the process to end with its status.
//
//   WindowDriver app;
//   app.start(WindowDriver::exeDir() + "Nimbrel.exe", workDir);
//   app.waitForMainWindow(10000);
//   app.click(IDC_UPDATE_FILE);
//   auto box = app.waitForMessageBox(5000);   // box->text, box->caption, app.boxIcon(box->hwnd)
//   app.answer(box->hwnd);
//   DWORD status; app.waitForExit(5000, &status);
//
// The destructor ends a program that is still running.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class WindowDriver {
public:
    struct MessageBoxInfo {
        HWND hwnd = nullptr;
        std::string text;
        std::string caption;
    };

    enum class BoxIcon { None, Stop, Exclamation, Other };

    // Pixels of a screen area, row by row from the top, each 0x00BBGGRR.
    struct Pixels {
        int width = 0;
        int height = 0;
        std::vector<COLORREF> data;
        COLORREF at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
        bool empty() const { return data.empty(); }
        bool saveBmp(const std::string& path) const; // 24-bit bottom-up BMP
    };

    WindowDriver() = default;
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    // Starts the program with workDir as its current directory. It inherits this process's environment.
    bool start(const std::string& exePath, const std::string& workDir);
    DWORD processId() const { return m_pid; }
    bool running() const;
    // Waits for the end of the process; exitCode receives its status.
    bool waitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    // Ends the program at once if it still runs.
    void terminate();

    // The program's unowned, visible dialog (class #32770).
    HWND waitForMainWindow(DWORD timeoutMs);
    HWND mainWindow() const { return m_main; }
    HWND item(int id) const { return ::GetDlgItem(m_main, id); }
    std::string itemText(int id) const { return windowText(item(id)); }
    bool itemEnabled(int id) const { return ::IsWindowEnabled(item(id)) != FALSE; }
    bool itemVisible(int id) const { return ::IsWindowVisible(item(id)) != FALSE; }
    bool waitForItemText(int id, const std::string& expected, DWORD timeoutMs) const;
    // Presses a button of the main window as a click does: the dialog receives WM_COMMAND/BN_CLICKED.
    void click(int id) const;
    // Waits until the window's thread handles messages again (after a busy stretch); false on time-out.
    bool waitUntilResponsive(DWORD timeoutMs) const;
    // The window with the keyboard focus in the program's window thread once its window is active. Programs
    // of other tests share the display and may take the activation; a dialog that is activated again gives
    // the focus back to the item that had it.
    HWND focusWhenActive(DWORD timeoutMs) const;

    // Message boxes of the program: dialogs of its process that carry a message text (static 0xFFFF).
    std::vector<MessageBoxInfo> messageBoxes() const;
    std::optional<MessageBoxInfo> waitForMessageBox(DWORD timeoutMs) const;
    // Other dialogs that the main window owns (the about box), by caption.
    HWND waitForOwnedDialog(const std::string& caption, DWORD timeoutMs) const;
    // Tells the box's icon by its colours: the box is moved clear of its owner first, since a box lying on
    // its owner reads back black from the screen.
    BoxIcon boxIcon(HWND box, DWORD timeoutMs = 3000) const;
    // Presses the box's OK button.
    void answer(HWND box) const;

    // Pixels of a window as they stand on the screen; the window is raised above all others first. With
    // clientOnly only the client area, else the whole window with its frame.
    Pixels capture(HWND hwnd, bool clientOnly) const;
    // Captures again until `settled` accepts the pixels or the time is up, and gives the last capture: a
    // repaint that the program has been asked for lands on the screen a little later, more so on a busy
    // machine.
    Pixels captureUntil(HWND hwnd, bool clientOnly, const std::function<bool(const Pixels&)>& settled,
                        DWORD timeoutMs) const;

    static std::string windowText(HWND hwnd);
    static std::string exeDir(); // folder of the running program, with a trailing backslash

private:
    HANDLE m_process = nullptr;
    HANDLE m_thread = nullptr;
    DWORD m_pid = 0;
    HWND m_main = nullptr;
};
