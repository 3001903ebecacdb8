// Drives a running dialog program from another process, the way a user would: starts it in a folder of its
// own, finds its main window and message boxes, reads texts, presses buttons, captures pixels from the
// screen, and waits for the process to end with its status.
//
//   WindowDriver app;
//   app.Start(WindowDriver::ExeDir() + "Nimbrel.exe", workDir);
//   app.WaitForMainWindow(10000);
//   app.Click(IDC_UPDATE_FILE);
//   auto box = app.WaitForMessageBox(5000);   // box->text, box->caption, app.GetBoxIcon(box->hwnd)
//   app.Answer(box->hwnd);
//   DWORD status; app.WaitForExit(5000, &status);
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
        COLORREF At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
        bool Empty() const { return data.empty(); }
        bool SaveBmp(const std::string& path) const; // 24-bit bottom-up BMP
    };

    WindowDriver() = default;
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    // Starts the program with workDir as its current directory. It inherits this process's environment.
    bool Start(const std::string& exePath, const std::string& workDir);
    DWORD ProcessId() const { return m_pid; }
    bool Running() const;
    // Waits for the end of the process; exitCode receives its status.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    // Ends the program at once if it still runs.
    void Terminate();

    // The program's unowned, visible dialog (class #32770).
    HWND WaitForMainWindow(DWORD timeoutMs);
    HWND MainWindow() const { return m_main; }
    HWND Item(int id) const { return ::GetDlgItem(m_main, id); }
    std::string ItemText(int id) const { return WindowText(Item(id)); }
    bool ItemEnabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    bool ItemVisible(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }
    bool WaitForItemText(int id, const std::string& expected, DWORD timeoutMs) const;
    // Presses a button of the main window as a click does: the dialog receives WM_COMMAND/BN_CLICKED.
    void Click(int id) const;
    // Waits until the window's thread handles messages again (after a busy stretch); false on time-out.
    bool WaitUntilResponsive(DWORD timeoutMs) const;
    // The window with the keyboard focus in the program's window thread once its window is active. Programs
    // of other tests share the display and may take the activation; a dialog that is activated again gives
    // the focus back to the item that had it.
    HWND FocusWhenActive(DWORD timeoutMs) const;

    // Message boxes of the program: dialogs of its process that carry a message text (static 0xFFFF).
    std::vector<MessageBoxInfo> MessageBoxes() const;
    std::optional<MessageBoxInfo> WaitForMessageBox(DWORD timeoutMs) const;
    // Other dialogs that the main window owns (the about box), by caption.
    HWND WaitForOwnedDialog(const std::string& caption, DWORD timeoutMs) const;
    // Tells the box's icon by its colours: the box is moved clear of its owner first, since a box lying on
    // its owner reads back black from the screen.
    BoxIcon GetBoxIcon(HWND box, DWORD timeoutMs = 3000) const;
    // Presses the box's OK button.
    void Answer(HWND box) const;

    // Pixels of a window as they stand on the screen; the window is raised above all others first. With
    // clientOnly only the client area, else the whole window with its frame.
    Pixels Capture(HWND hwnd, bool clientOnly) const;
    // Captures again until `settled` accepts the pixels or the time is up, and gives the last capture: a
    // repaint that the program has been asked for lands on the screen a little later, more so on a busy
    // machine.
    Pixels CaptureUntil(HWND hwnd, bool clientOnly, const std::function<bool(const Pixels&)>& settled,
                        DWORD timeoutMs) const;

    // The pixels of a window as the screen shows them now, nothing raised or repainted first: for a window of
    // the caller's own thread, whose painting (and Wine's copy of it to the screen, which happens while the
    // thread handles its messages) the caller drives.
    static Pixels ScreenPixels(HWND hwnd, bool clientOnly);

    static std::string WindowText(HWND hwnd);
    static std::string ExeDir(); // folder of the running program, with a trailing backslash

private:
    HANDLE m_process = nullptr;
    HANDLE m_thread = nullptr;
    DWORD m_pid = 0;
    HWND m_main = nullptr;
};
