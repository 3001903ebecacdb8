#include "tests/support/WindowDriver.h"

#include "system/Paths.h"
#include "tests/support/ChildProcess.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int MESSAGE_TEXT_ID = 0xFFFF; // the static that holds a message box's text
constexpr int MESSAGE_ICON_ID = 1088;   // the static that shows its icon
constexpr DWORD POLL_MS = 20;

bool IsDialogClass(HWND hwnd) {
    char cls[16] = {};
    ::GetClassNameA(hwnd, cls, sizeof(cls));
    return std::string(cls) == "#32770";
}

DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogsOf(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    if (ProcessOf(hwnd) == search->pid && IsDialogClass(hwnd))
        search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindowsOf(DWORD pid) {
    WindowSearch search{pid, {}};
    ::EnumWindows(CollectDialogsOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls `probe` until it gives true or the time is up; the probe runs at least once.
bool PollUntil(DWORD timeoutMs, const std::function<bool()>& probe) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (probe())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(POLL_MS);
    }
}

WindowDriver::Pixels CaptureScreen(const RECT& area) {
    WindowDriver::Pixels pixels;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return pixels;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ previous = ::SelectObject(memory, bitmap);
        if (::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT)) {
            ::GdiFlush();
            pixels.width = width;
            pixels.height = height;
            pixels.data.resize(static_cast<size_t>(width) * height);
            const auto* src = static_cast<const BYTE*>(bits);
            for (size_t i = 0; i < pixels.data.size(); ++i)
                pixels.data[i] = RGB(src[4 * i + 2], src[4 * i + 1], src[4 * i]);
        }
        ::SelectObject(memory, previous);
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// Whether the screen shows `hwnd` (or one of its children) at the corners and the centre of `area`.
bool ShowsWindow(HWND hwnd, const RECT& area) {
    const POINT points[] = {{area.left, area.top},
                            {area.right - 1, area.top},
                            {area.left, area.bottom - 1},
                            {area.right - 1, area.bottom - 1},
                            {(area.left + area.right) / 2, (area.top + area.bottom) / 2}};
    for (const POINT& point : points) {
        HWND seen = ::WindowFromPoint(point);
        if (seen != hwnd && !::IsChild(hwnd, seen) && !::IsChild(::GetAncestor(hwnd, GA_ROOT), seen) &&
            seen != ::GetAncestor(hwnd, GA_ROOT))
            return false;
    }
    return true;
}

struct WindowsOnArea {
    HWND root;
    RECT area;
    bool found;
};

BOOL CALLBACK FindOtherWindowOnArea(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<WindowsOnArea*>(param);
    RECT rect{}, common{};
    if (window != search.root && ::IsWindowVisible(window) && ::GetWindowRect(window, &rect) &&
        ::IntersectRect(&common, &rect, &search.area))
        search.found = true;
    return !search.found;
}

// Whether a visible top-level window other than `root` lies on `area`, above `root` or below it. One below
// still shows through for a moment after `root` is moved there, until `root` has repainted the part
// uncovered.
bool OthersLieOn(HWND root, const RECT& area) {
    WindowsOnArea search{root, area, false};
    ::EnumWindows(FindOtherWindowOnArea, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Moves the top-level window `root` to the `spot`th of a spread of places on the screen.
void MoveToSpot(HWND root, int spot) {
    RECT rect{};
    ::GetWindowRect(root, &rect);
    const int x = (spot * 97) % std::max<LONG>(1, ::GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left));
    const int y = (spot * 61) % std::max<LONG>(1, ::GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top));
    ::SetWindowPos(root, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT CaptureArea(HWND hwnd, bool clientOnly) {
    RECT area{};
    if (clientOnly) {
        RECT client{};
        ::GetClientRect(hwnd, &client);
        POINT origin{0, 0};
        ::ClientToScreen(hwnd, &origin);
        area = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    } else {
        ::GetWindowRect(hwnd, &area);
    }
    return area;
}

} // namespace

WindowDriver::~WindowDriver() {
    Terminate();
    if (m_thread)
        ::CloseHandle(m_thread);
    if (m_process)
        ::CloseHandle(m_process);
}

bool WindowDriver::Start(const std::string& exePath, const std::string& workDir) {
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateChildProcess(exePath.c_str(), "\"" + exePath + "\"", FALSE, 0, workDir.c_str(), si, pi))
        return false;
    m_process = pi.hProcess;
    m_thread = pi.hThread;
    m_pid = pi.dwProcessId;
    return true;
}

bool WindowDriver::Running() const {
    return m_process && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

bool WindowDriver::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!m_process || ::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process, &code);
    if (exitCode)
        *exitCode = code;
    return true;
}

void WindowDriver::Terminate() {
    if (Running()) {
        ::TerminateProcess(m_process, 1);
        ::WaitForSingleObject(m_process, 5000);
    }
}

HWND WindowDriver::WaitForMainWindow(DWORD timeoutMs) {
    PollUntil(timeoutMs, [this] {
        for (HWND hwnd : TopLevelWindowsOf(m_pid)) {
            if (!::GetWindow(hwnd, GW_OWNER) && ::IsWindowVisible(hwnd)) {
                m_main = hwnd;
                return true;
            }
        }
        return false;
    });
    return m_main;
}

bool WindowDriver::WaitForItemText(int id, const std::string& expected, DWORD timeoutMs) const {
    return PollUntil(timeoutMs, [&] { return ItemText(id) == expected; });
}

void WindowDriver::Click(int id) const {
    ::PostMessageA(m_main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

bool WindowDriver::WaitUntilResponsive(DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(m_main, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

HWND WindowDriver::FocusWhenActive(DWORD timeoutMs) const {
    const DWORD thread = ::GetWindowThreadProcessId(m_main, nullptr);
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        const bool read = ::GetGUIThreadInfo(thread, &info) != FALSE;
        const bool active = ::GetForegroundWindow() == m_main;
        if ((read && active && info.hwndFocus) || ::GetTickCount64() >= deadline)
            return read ? info.hwndFocus : nullptr;
        if (!active)
            ::SetForegroundWindow(m_main);
        ::Sleep(20);
    }
}

std::vector<WindowDriver::MessageBoxInfo> WindowDriver::MessageBoxes() const {
    std::vector<MessageBoxInfo> boxes;
    for (HWND hwnd : TopLevelWindowsOf(m_pid)) {
        HWND text = ::GetDlgItem(hwnd, MESSAGE_TEXT_ID);
        if (!text || !::IsWindowVisible(hwnd))
            continue;
        boxes.push_back({hwnd, WindowText(text), WindowText(hwnd)});
    }
    return boxes;
}

std::optional<WindowDriver::MessageBoxInfo> WindowDriver::WaitForMessageBox(DWORD timeoutMs) const {
    std::optional<MessageBoxInfo> box;
    PollUntil(timeoutMs, [&] {
        const auto boxes = MessageBoxes();
        if (boxes.empty())
            return false;
        box = boxes.front();
        return true;
    });
    return box;
}

HWND WindowDriver::WaitForOwnedDialog(const std::string& caption, DWORD timeoutMs) const {
    HWND found = nullptr;
    PollUntil(timeoutMs, [&] {
        for (HWND hwnd : TopLevelWindowsOf(m_pid)) {
            if (::GetWindow(hwnd, GW_OWNER) == m_main && ::IsWindowVisible(hwnd) &&
                WindowText(hwnd) == caption) {
                found = hwnd;
                return true;
            }
        }
        return false;
    });
    return found;
}

WindowDriver::BoxIcon WindowDriver::GetBoxIcon(HWND box, DWORD timeoutMs) const {
    HWND icon = ::GetDlgItem(box, MESSAGE_ICON_ID);
    if (!icon || !::IsWindowVisible(icon))
        return BoxIcon::None;

    // Put the box where its owner is not: beside it if the screen has room, else in a free corner.
    RECT owner{}, rect{};
    HWND ownerWnd = ::GetWindow(box, GW_OWNER);
    if (ownerWnd)
        ::GetWindowRect(ownerWnd, &owner);
    ::GetWindowRect(box, &rect);
    const int boxWidth = rect.right - rect.left;
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int x = owner.right + boxWidth + 8 <= screenWidth ? static_cast<int>(owner.right) + 8
                  : owner.left - boxWidth - 8 >= 0          ? static_cast<int>(owner.left) - boxWidth - 8
                                                            : 0;
    ::SetWindowPos(box, HWND_TOPMOST, x, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);

    // Programs of other tests share the screen, and their boxes go to the same free places: the icon's pixels
    // count only while no other window covers any part of it, before and after they are read. Even then the
    // screen can still show, for a moment, what another box left at that place before this one has painted
    // itself there (seen under emulation: a stop icon read as another test's exclamation icon). So the box's
    // thread has handled its repaint before each reading, and a verdict counts once the same reading has held
    // for a while. A box of another test that lies below this one can show through where this one has not yet
    // repainted (seen under emulation for longer than that while: an exclamation icon read as the stop icon
    // beneath it), so readings count only where no other window lies on the icon at all.
    constexpr ULONGLONG STEADY_MS = 300;
    BoxIcon verdict = BoxIcon::None;
    ULONGLONG verdictSince = 0;
    int spot = 0;
    PollUntil(timeoutMs, [&] {
        RECT area{};
        ::GetWindowRect(icon, &area);
        if (OthersLieOn(box, area)) {
            MoveToSpot(box, ++spot);
            verdict = BoxIcon::None;
            return false;
        }
        ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutA(box, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &ignored);
        if (!ShowsWindow(box, area)) {
            ::SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return false;
        }
        const Pixels pixels = CaptureScreen(area);
        if (!ShowsWindow(box, area))
            return false;
        int red = 0, yellow = 0, lit = 0;
        for (COLORREF c : pixels.data) {
            const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            if (r + g + b > 60)
                ++lit;
            if (r >= 150 && g <= 100 && b <= 100)
                ++red;
            else if (r >= 150 && g >= 150 && b <= 110)
                ++yellow;
        }
        if (lit == 0)
            return false; // still black: not drawn yet
        const BoxIcon reading = red >= 20 && red > yellow ? BoxIcon::Stop
                                : yellow >= 20            ? BoxIcon::Exclamation
                                                          : BoxIcon::Other;
        const ULONGLONG now = ::GetTickCount64();
        if (reading != verdict) {
            verdict = reading;
            verdictSince = now;
        }
        return verdict != BoxIcon::Other && now - verdictSince >= STEADY_MS;
    });
    return verdict;
}

void WindowDriver::Answer(HWND box) const {
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
}

WindowDriver::Pixels WindowDriver::Capture(HWND hwnd, bool clientOnly) const {
    // Other programs' windows may lie on the same spot (tests run side by side on one display): raise the
    // window, and move its top-level window elsewhere until nothing covers it, before and after the copy.
    HWND root = ::GetAncestor(hwnd, GA_ROOT);
    Pixels pixels;
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (attempt > 0)
            MoveToSpot(root, attempt);
        ::SetWindowPos(root, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::RedrawWindow(root, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutA(root, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
        ::Sleep(150);
        const RECT area = CaptureArea(hwnd, clientOnly);
        if (!ShowsWindow(hwnd, area))
            continue;
        pixels = CaptureScreen(area);
        if (ShowsWindow(hwnd, area))
            return pixels;
    }
    return pixels;
}

WindowDriver::Pixels WindowDriver::CaptureUntil(HWND hwnd, bool clientOnly,
                                                const std::function<bool(const Pixels&)>& settled,
                                                DWORD timeoutMs) const {
    Pixels pixels;
    PollUntil(timeoutMs, [&] {
        pixels = Capture(hwnd, clientOnly);
        return !pixels.Empty() && settled(pixels);
    });
    return pixels;
}

WindowDriver::Pixels WindowDriver::ScreenPixels(HWND hwnd, bool clientOnly) {
    return CaptureScreen(CaptureArea(hwnd, clientOnly));
}

bool WindowDriver::Pixels::SaveBmp(const std::string& path) const {
    if (Empty())
        return false;
    const int rowBytes = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(rowBytes) * height;
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    bool ok = std::fwrite(&file, sizeof(file), 1, out) == 1 && std::fwrite(&info, sizeof(info), 1, out) == 1;
    std::vector<BYTE> row(rowBytes, 0);
    for (int y = height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = At(x, y);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
        ok = std::fwrite(row.data(), row.size(), 1, out) == 1;
    }
    return std::fclose(out) == 0 && ok;
}

std::string WindowDriver::WindowText(HWND hwnd) {
    if (!hwnd)
        return {};
    char text[1024] = {};
    ::GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

std::string WindowDriver::ExeDir() {
    return ProgramFolder();
}
