// The gradient bar painting a real progress bar window under the display,
// its pixels read back from the window.
#include "controls/GradientProgressCtrl.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr COLORREF TEAL = 0x808000;
constexpr COLORREF NAVY = 0x800000;
constexpr COLORREF GREEN = 0x008000;
constexpr int BAR_WIDTH = 478;
constexpr int BAR_HEIGHT = 20;

// CTest runs test cases as parallel processes on one display; windows of two
// of them could cover each other while pixels are read. One at a time.
class ScreenTurn {
public:
    ScreenTurn() : mutex_(CreateMutexA(nullptr, FALSE, "NimbrelControlsPixelTests")) {
        if (mutex_ != nullptr)
            WaitForSingleObject(mutex_, 60000);
    }
    ~ScreenTurn() {
        if (mutex_ != nullptr) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
    }
    ScreenTurn(const ScreenTurn&) = delete;
    ScreenTurn& operator=(const ScreenTurn&) = delete;

private:
    HANDLE mutex_;
};

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The client area's pixels, row by row.
class Pixels {
public:
    Pixels(int width, int height, std::vector<COLORREF> values)
        : width_(width), height_(height), values_(std::move(values)) {}
    COLORREF at(int x, int y) const { return values_[static_cast<size_t>(y) * width_ + x]; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool operator==(const Pixels& other) const { return values_ == other.values_; }

private:
    int width_;
    int height_;
    std::vector<COLORREF> values_;
};

// A top-most popup holding one smooth, bordered progress bar whose client
// area is exactly width x height, painted by a CGradientProgressCtrl.
class BarHost {
public:
    BarHost(int width, int height) {
        static const ATOM hostClass = RegisterHostClass();
        host_ =
            CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, MAKEINTATOM(hostClass), "", WS_POPUP, 300, 600,
                            width + 40, height + 40, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH, 10,
                                   10, width, height, host_, reinterpret_cast<HMENU>(IDC_PROGRESS),
                                   GetModuleHandleA(nullptr), nullptr);
        RECT client;
        GetClientRect(bar, &client);
        SetWindowPos(bar, nullptr, 0, 0, 2 * width - client.right, 2 * height - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        bound_ = bar != nullptr && ctrl.SubclassWindow(bar);
        ShowWindow(host_, SW_SHOWNOACTIVATE);
        UpdateWindow(host_);
        PumpMessages();
    }
    ~BarHost() {
        if (host_ != nullptr)
            DestroyWindow(host_);
    }
    BarHost(const BarHost&) = delete;
    BarHost& operator=(const BarHost&) = delete;

    bool ready() const { return bound_; }
    HWND bar() const { return ctrl.m_hWnd; }

    // The set-up the main window gives its bar.
    void SetUpAsTheProgram() {
        ctrl.SetRange(0, 100);
        ctrl.SetPos(0);
        ctrl.ShowPercent(TRUE);
        ctrl.SetStartColor(TEAL);
        ctrl.SetEndColor(NAVY);
        ctrl.SetTextColor(GREEN);
    }

    // Asks for a paint of the given part (all when null) without erasing.
    void Repaint(const RECT* part = nullptr) {
        InvalidateRect(bar(), part, FALSE);
        UpdateWindow(bar());
        PumpMessages();
    }

    Pixels Capture() const {
        RECT client;
        GetClientRect(bar(), &client);
        const int width = client.right;
        const int height = client.bottom;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC windowDc = GetDC(bar());
        HDC memoryDc = CreateCompatibleDC(windowDc);
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(memoryDc, dib);
        BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        std::vector<COLORREF> values(static_cast<size_t>(width) * height);
        const auto* raw = static_cast<const DWORD*>(bits);
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = RGB(GetBValue(raw[i]), GetGValue(raw[i]), GetRValue(raw[i])); // 0x00RRGGBB
        SelectObject(memoryDc, previous);
        DeleteObject(dib);
        DeleteDC(memoryDc);
        ReleaseDC(bar(), windowDc);
        return Pixels(width, height, std::move(values));
    }

    CGradientProgressCtrl ctrl;

private:
    static ATOM RegisterHostClass() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = "NimbrelGradientBarHost";
        return RegisterClassA(&wc);
    }

    HWND host_ = nullptr;
    bool bound_ = false;
};

std::string Hex(COLORREF colour) {
    char text[16];
    snprintf(text, sizeof text, "0x%06lX", static_cast<unsigned long>(colour));
    return text;
}

// Every pixel of the columns [left, right) has the given colour.
void ExpectColumns(const Pixels& pixels, int left, int right, COLORREF colour) {
    for (int x = left; x < right; ++x)
        for (int y = 0; y < pixels.height(); ++y)
            if (pixels.at(x, y) != colour) {
                ADD_FAILURE() << "column " << x << " row " << y << ": " << Hex(pixels.at(x, y)) << ", wanted "
                              << Hex(colour);
                return;
            }
}

// Columns that hold a pixel other than the given colour, as [first, last].
std::pair<int, int> ColumnsOtherThan(const Pixels& pixels, COLORREF colour) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < pixels.width(); ++x)
        for (int y = 0; y < pixels.height(); ++y)
            if (pixels.at(x, y) != colour) {
                if (first < 0)
                    first = x;
                last = x;
            }
    return {first, last};
}

// A 478-pixel bar set up as the main window sets it up, one test at a time
// on the display.
class GradientProgressCtrl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.ready());
        host.SetUpAsTheProgram();
    }

    ScreenTurn turn;
    BarHost host{BAR_WIDTH, BAR_HEIGHT};
};

TEST_F(GradientProgressCtrl, TealToNavyBandsHalfwayOnA478PixelBar) {
    host.ctrl.ShowPercent(FALSE); // every pixel is then a band or background
    host.ctrl.SetPos(50);
    host.Repaint();
    const Pixels pixels = host.Capture();
    ASSERT_EQ(pixels.width(), BAR_WIDTH);

    // Band i covers [trunc(i x 3.734375), trunc((i + 1) x 3.734375)).
    for (int i = 0; i <= 64; ++i) {
        const int left = static_cast<int>(i * 3.734375);
        const int right = static_cast<int>((i + 1) * 3.734375);
        SCOPED_TRACE("band " + std::to_string(i));
        ExpectColumns(pixels, left, right, RGB(0, 128 - i, 128));
    }
    // The band holding column 239 is drawn whole, to 241; the rest is background.
    ExpectColumns(pixels, 239, 242, RGB(0, 64, 128));
    ExpectColumns(pixels, 242, BAR_WIDTH, GetSysColor(COLOR_BTNFACE));
}

TEST_F(GradientProgressCtrl, FullBarShowsAllBandsAndTheCentredPercentage) {
    host.ctrl.SetPos(100);
    host.Repaint();
    const Pixels pixels = host.Capture();
    ExpectColumns(pixels, 0, 3, RGB(0, 128, 128));
    // The last band stops one step short of navy.
    ExpectColumns(pixels, BAR_WIDTH - 3, BAR_WIDTH, RGB(0, 1, 128));

    // "100%" in green, in the middle.
    int textPixels = 0;
    for (int x = 0; x < pixels.width(); ++x)
        for (int y = 0; y < pixels.height(); ++y)
            if (pixels.at(x, y) == GREEN) {
                ++textPixels;
                EXPECT_NEAR(x, BAR_WIDTH / 2, 60) << "text pixel off centre";
            }
    EXPECT_GT(textPixels, 20);
}

TEST_F(GradientProgressCtrl, LowerBoundShowsBackgroundAndCentredZeroPercent) {
    host.Repaint(); // the set-up leaves the position at 0
    const Pixels pixels = host.Capture();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const auto text = ColumnsOtherThan(pixels, face);
    ASSERT_GE(text.first, 0) << "no 0% drawn";
    EXPECT_GT(text.first, BAR_WIDTH / 2 - 40);
    EXPECT_LT(text.second, BAR_WIDTH / 2 + 40);
    // Text centred: as much room on its left as on its right, give or take
    // the glyphs' own side bearings.
    EXPECT_NEAR(text.first, BAR_WIDTH - 1 - text.second, 4);
    bool green = false;
    for (int x = text.first; x <= text.second; ++x)
        for (int y = 0; y < pixels.height(); ++y)
            green = green || pixels.at(x, y) == GREEN;
    EXPECT_TRUE(green);
}

TEST_F(GradientProgressCtrl, PositionOutsideTheRangeShowsOnlyButtonFace) {
    for (int position : {101, -1}) {
        SCOPED_TRACE("position " + std::to_string(position));
        host.ctrl.SetPos(50);
        host.Repaint();
        host.ctrl.SetPos(position);
        host.Repaint();
        ExpectColumns(host.Capture(), 0, BAR_WIDTH, GetSysColor(COLOR_BTNFACE));
    }
}

TEST(GradientProgressCtrlDefaults, ConstructionColoursRunFromBlue128To254) {
    ScreenTurn turn;
    BarHost host(254, BAR_HEIGHT); // two columns per band
    ASSERT_TRUE(host.ready());
    host.ctrl.SetPos(100); // range 0 to 100 and no text from construction
    host.Repaint();
    const Pixels pixels = host.Capture();
    for (int i = 0; i < 127; ++i) {
        SCOPED_TRACE("band " + std::to_string(i));
        ExpectColumns(pixels, 2 * i, 2 * i + 2, RGB(0, 0, 128 + i));
    }
}

TEST_F(GradientProgressCtrl, SetPosRepaintsButColourSettersWaitForTheNextPaint) {
    host.ctrl.ShowPercent(FALSE);
    host.Repaint();

    // The standard control asks for the repaint of a new position.
    host.ctrl.SetPos(50);
    UpdateWindow(host.bar());
    PumpMessages();
    const Pixels before = host.Capture();
    ExpectColumns(before, 0, 3, TEAL);

    host.ctrl.SetStartColor(RGB(255, 0, 0));
    host.ctrl.SetEndColor(RGB(255, 0, 128));
    host.ctrl.SetTextColor(RGB(0, 0, 255));
    host.ctrl.ShowPercent(TRUE);
    RECT pending;
    EXPECT_FALSE(GetUpdateRect(host.bar(), &pending, FALSE));
    PumpMessages();
    EXPECT_TRUE(host.Capture() == before);

    host.Repaint();
    ExpectColumns(host.Capture(), 0, 3, RGB(255, 0, 0));
}

TEST_F(GradientProgressCtrl, PartialRepaintLandsInItsOwnColumns) {
    host.ctrl.ShowPercent(FALSE);
    host.ctrl.SetPos(100);
    host.Repaint();

    // Only columns 100-199 are repainted, with other colours: the off-screen
    // copy must land there and nowhere else.
    host.ctrl.SetStartColor(RGB(200, 0, 0));
    host.ctrl.SetEndColor(RGB(200, 0, 0));
    const RECT part{100, 0, 200, BAR_HEIGHT};
    host.Repaint(&part);
    const Pixels pixels = host.Capture();
    ExpectColumns(pixels, 0, 3, TEAL);
    ExpectColumns(pixels, 100, 200, RGB(200, 0, 0));
    ExpectColumns(pixels, BAR_WIDTH - 3, BAR_WIDTH, RGB(0, 1, 128));
    EXPECT_NE(pixels.at(99, 5), RGB(200, 0, 0));
    EXPECT_NE(pixels.at(200, 5), RGB(200, 0, 0));
}

TEST_F(GradientProgressCtrl, EraseBackgroundDrawsNothing) {
    host.Repaint();

    const COLORREF marker = RGB(255, 0, 255);
    HDC dc = GetDC(host.bar());
    HBRUSH brush = CreateSolidBrush(marker);
    RECT client;
    GetClientRect(host.bar(), &client);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    EXPECT_NE(SendMessageA(host.bar(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
    ReleaseDC(host.bar(), dc);
    ExpectColumns(host.Capture(), 0, BAR_WIDTH, marker);
}

} // namespace
