#include "tests/app/WindowPixels.h"

#include "app/DialogItems.h"

#include "system/WindowDpi.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// The window's pixels once the screen shows what `settled` expects, or the last ones after 5 s. The window is
// this thread's: Wine copies its painting to the screen while the thread handles messages, so the thread
// handles them between the reads instead of sleeping.
WindowDriver::Pixels CaptureSettled(HWND hwnd,
                                    const std::function<bool(const WindowDriver::Pixels&)>& settled) {
    HWND root = ::GetAncestor(hwnd, GA_ROOT);
    ::SetWindowPos(root, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::RedrawWindow(root, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    WindowDriver::Pixels pixels;
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 5000;) {
        for (DWORD handling = ::GetTickCount(); ::GetTickCount() - handling < 100;) {
            for (MSG msg; ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            ::Sleep(10);
        }
        pixels = WindowDriver::ScreenPixels(hwnd, true);
        if (!pixels.Empty() && settled(pixels))
            break;
    }
    return pixels;
}

bool Near(COLORREF seen, COLORREF wanted) {
    constexpr int TOLERANCE = 24; // averaging of the shrunk source
    return std::abs(GetRValue(seen) - GetRValue(wanted)) <= TOLERANCE &&
           std::abs(GetGValue(seen) - GetGValue(wanted)) <= TOLERANCE &&
           std::abs(GetBValue(seen) - GetBValue(wanted)) <= TOLERANCE;
}

struct EdgePoint {
    const char* where;
    double x, y; // fractions of the item's size; 1 = the last pixel
    COLORREF colour;
};

constexpr COLORREF PALE = RGB(200, 230, 230), TEAL = RGB(0, 128, 128), NAVY = RGB(0, 0, 128);
const EdgePoint EDGE_POINTS[] = {
    {"top left", 0, 0, PALE},     {"top right", 1, 0, PALE},       {"bottom left", 0, 1, PALE},
    {"bottom right", 1, 1, PALE}, {"left middle", 0, 0.5, TEAL},   {"right middle", 1, 0.5, NAVY},
    {"top middle", 0.5, 0, PALE}, {"bottom middle", 0.5, 1, PALE},
};

COLORREF At(const WindowDriver::Pixels& pixels, const EdgePoint& point) {
    return pixels.At(static_cast<int>(point.x * (pixels.width - 1)),
                     static_cast<int>(point.y * (pixels.height - 1)));
}

} // namespace

HWND BannerOf(HWND dialog) {
    return FirstStaticOfType(dialog, SS_BITMAP);
}

void ExpectPictureFillsItem(HWND banner, double lowestRow) {
    std::vector<EdgePoint> points;
    for (const EdgePoint& point : EDGE_POINTS)
        if (point.y <= lowestRow)
            points.push_back(point);
    const WindowDriver::Pixels pixels = CaptureSettled(banner, [&](const WindowDriver::Pixels& p) {
        for (const EdgePoint& point : points)
            if (!Near(At(p, point), point.colour))
                return false;
        return true;
    });
    ASSERT_FALSE(pixels.Empty());
    for (const EdgePoint& point : points)
        EXPECT_TRUE(Near(At(pixels, point), point.colour))
            << point.where << ": 0x" << std::hex << At(pixels, point) << " instead of 0x" << point.colour;
}

void ExpectPercentTextCentredAndSized(HWND bar, UINT dpi) {
    constexpr COLORREF GREEN = RGB(0, 128, 0);
    RECT ink{};
    const auto findInk = [&](const WindowDriver::Pixels& p) {
        ink = {p.width, p.height, -1, -1};
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                if (p.At(x, y) == GREEN)
                    ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                           std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
        return ink.right > 0;
    };
    const WindowDriver::Pixels pixels = CaptureSettled(bar, findInk);
    ASSERT_TRUE(!pixels.Empty() && findInk(pixels)) << "no percentage on the bar";
    SCOPED_TRACE("ink " + std::to_string(ink.left) + "," + std::to_string(ink.top) + " to " +
                 std::to_string(ink.right) + "," + std::to_string(ink.bottom) + " on " +
                 std::to_string(pixels.width) + " x " + std::to_string(pixels.height));
    EXPECT_GT(ink.top, 0) << "cut at the top";
    EXPECT_LT(ink.bottom, pixels.height) << "cut at the bottom";
    // The glyphs' own side bearings and the line's descent put the ink a little off the exact middle.
    EXPECT_NEAR((ink.left + ink.right) / 2.0, pixels.width / 2.0, ScaledToDpi(2, dpi) + 1);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, pixels.height / 2.0, ScaledToDpi(3, dpi) + 1);
    // "0%" in the 100% look is 9 pixels tall.
    EXPECT_GE(ink.bottom - ink.top, ScaledToDpi(9, dpi) - 1);
}
