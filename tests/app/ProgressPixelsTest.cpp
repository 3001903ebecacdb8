// The progress bar's pixels on the screen, read back from the running program.
#include "tests/app/WindowTestProgram.h"

#include <functional>

using namespace windowtest;

namespace {

// Counts the pixels of a column range, all rows, that differ from `colour`.
int CountOther(const WindowDriver::Pixels& bar, int fromX, int toX, COLORREF colour) {
    int other = 0;
    for (int y = 0; y < bar.height; ++y)
        for (int x = fromX; x < toX; ++x)
            other += bar.at(x, y) != colour;
    return other;
}

// Pixels in the percentage text's green.
int CountGreenText(const WindowDriver::Pixels& bar) {
    int green = 0;
    for (COLORREF c : bar.data)
        green += c == RGB(0, 128, 0);
    return green;
}

// The bar's client area as it stands on the screen, once it shows what `settled` expects (or the time is up,
// and the test's checks tell what is wrong): a repaint lands on the screen a little after it was asked for,
// and a window of a test running alongside may lie over the bar for a moment.
WindowDriver::Pixels CaptureBar(WindowDriver& app,
                                const std::function<bool(const WindowDriver::Pixels&)>& settled) {
    app.capture(app.mainWindow(), false); // raises the window above the others first
    return app.captureUntil(app.item(IDC_PROGRESS), true, settled, 5000);
}

// Runs stage 4 alone with an image whose payload leaves the bar at `position` (payloads under 100 bytes end
// at their length, 9999 bytes at 101).
void RunToPosition(WindowDriver& app, VirtualDevice& device, const std::string& name, std::size_t payload) {
    const std::string folder = NewImageFolder(name);
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(1024 + payload, 4)));
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(device.waitForImages(1, RUN_MS));
    ASSERT_TRUE(app.waitForItemText(IDC_RESULT_TEXT, LangText("message", "1030"), RUN_MS));
    ASSERT_TRUE(app.waitUntilResponsive(RUN_MS));
}

} // namespace

TEST(ProgressPixels, AtPositionFiftyTheBandsRunFromTealTowardNavyAndStopAtABandEdge) {
    VirtualDevice device;
    WindowDriver app;
    RunToPosition(app, device, "bar-50", 50);
    if (HasFatalFailure())
        return;
    const COLORREF background = ::GetSysColor(COLOR_BTNFACE);
    const auto bar = CaptureBar(app, [&](const WindowDriver::Pixels& shown) {
        return shown.at(0, 1) == RGB(0, 128, 128) &&
               CountOther(shown, shown.width - shown.width / 3, shown.width, background) == 0;
    });
    ASSERT_FALSE(bar.empty());
    const int width = bar.width;
    RecordProperty("bar_width", width);

    // Teal (0,128,128) to navy (0,0,128): 128 bands of width/128 pixels, band i green 128 - i; the band that
    // holds the filled width is drawn whole, the background starts at its right edge.
    const int bands = 128;
    const float bandWidth = static_cast<float>(width) / bands;
    const int filled = static_cast<int>(static_cast<float>(50.0 / 100.0 * width));
    int lastBand = 0;
    while (static_cast<int>((lastBand + 1) * bandWidth) <= filled)
        ++lastBand;
    const int backgroundFrom = static_cast<int>((lastBand + 1) * bandWidth);
    if (width == 478) {
        EXPECT_EQ(filled, 239);
        EXPECT_EQ(lastBand, 64);
        EXPECT_EQ(backgroundFrom, 242);
    }
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    // Row 1 lies above the centred percentage text.
    for (int i = 0; i <= lastBand; ++i) {
        const int left = static_cast<int>(i * bandWidth), right = static_cast<int>((i + 1) * bandWidth);
        for (int x = left; x < right; ++x)
            ASSERT_EQ(bar.at(x, 1), RGB(0, 128 - i, 128)) << "column " << x << " band " << i;
    }
    // The background from there on: the top rows throughout, every row beyond the centred "50%".
    int other = 0;
    for (int x = backgroundFrom; x < width; ++x)
        other += (bar.at(x, 0) != face) + (bar.at(x, 1) != face);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(CountOther(bar, width - width / 3, width, face), 0);
    EXPECT_EQ(width, 478) << "the bar's width on this display";
}

TEST(ProgressPixels, AtPositionZeroAndAtOneHundredOneTheWholeBarIsInTheButtonFaceColour) {
    VirtualDevice device;
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    {
        // At start the bar stands at 0: all background, with the green "0%" in the middle only.
        WindowDriver app;
        ASSERT_TRUE(StartProgram(app, NewImageFolder("bar-0")));
        // Until the bar has painted itself, its place shows only the window's background.
        const auto bar = CaptureBar(app, [&](const WindowDriver::Pixels& shown) {
            return CountOther(shown, 0, shown.width / 3, face) == 0 &&
                   CountOther(shown, shown.width - shown.width / 3, shown.width, face) == 0 &&
                   CountGreenText(shown) > 0;
        });
        ASSERT_FALSE(bar.empty());
        EXPECT_EQ(CountOther(bar, 0, bar.width / 3, face), 0);
        EXPECT_EQ(CountOther(bar, bar.width - bar.width / 3, bar.width, face), 0);
        EXPECT_GT(CountGreenText(bar), 0) << "no percentage text";
    }
    {
        // A payload of 9999 bytes ends at position 101: outside the range, the whole bar and no text.
        WindowDriver app;
        RunToPosition(app, device, "bar-101", 9999);
        if (HasFatalFailure())
            return;
        const auto bar = CaptureBar(app, [&](const WindowDriver::Pixels& shown) {
            return CountOther(shown, 0, shown.width, face) == 0;
        });
        ASSERT_FALSE(bar.empty());
        const int notFace = CountOther(bar, 0, bar.width, face);
        EXPECT_EQ(notFace, 0);
        if (notFace != 0) {
            const std::string picture = NewImageFolder("bar-101-shown") + "\\bar.bmp";
            bar.saveBmp(picture);
            ADD_FAILURE() << "the bar as captured: " << picture;
        }
    }
}
