// The progress bar's pixels on the screen, read back from the running program.
#include "tests/app/WindowTestProgram.h"
#include "texts/TextKeys.h"

#include <functional>
#include <string>

using namespace windowtest;

namespace {

// Counts the pixels of a column range, all rows, that differ from `colour`.
int CountOther(const WindowDriver::Pixels& bar, int fromX, int toX, COLORREF colour) {
    int other = 0;
    for (int y = 0; y < bar.height; ++y)
        for (int x = fromX; x < toX; ++x)
            other += bar.At(x, y) != colour;
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
    app.Capture(app.MainWindow(), false); // raises the window above the others first
    return app.CaptureUntil(app.Item(IDC_PROGRESS), true, settled, 5000);
}

// Runs stage 4 alone with an image whose payload leaves the bar at `position` (payloads under 100 bytes end
// at their length, 9999 bytes at 101).
void RunToPosition(WindowDriver& app, VirtualDevice& device, const std::string& name, std::size_t payload) {
    const std::string folder = NewImageFolder(name);
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(1024 + payload, 4)));
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(device.WaitForImages(1, RUN_MS));
    ASSERT_TRUE(
        app.WaitForItemText(IDC_RESULT_TEXT, LangText(TEXT_SECTION_MESSAGE, TEXT_IMAGE_SENT), RUN_MS));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));
}

// Where a bar of `width` pixels at 50% ends: teal (0,128,128) to navy (0,0,128) in 128 bands of width/128
// pixels, band i green 128 - i; the band that holds the filled width is drawn whole, and the background
// starts at its right edge.
struct HalfBar {
    float bandWidth = 0;
    int filled = 0;
    int lastBand = 0;
    int backgroundFrom = 0;
};

HalfBar HalfBarOf(int width) {
    HalfBar half;
    half.bandWidth = static_cast<float>(width) / 128;
    half.filled = static_cast<int>(static_cast<float>(50.0 / 100.0 * width));
    while (static_cast<int>((half.lastBand + 1) * half.bandWidth) <= half.filled)
        ++half.lastBand;
    half.backgroundFrom = static_cast<int>((half.lastBand + 1) * half.bandWidth);
    return half;
}

// The first pixel that differs from a bar at 50%, or "" when the bar shows exactly that: the bands on row 1
// (above the centred percentage text), the background from the last band's edge on the top rows, and every
// row of the right third.
std::string HalfBarMismatch(const WindowDriver::Pixels& bar) {
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const HalfBar half = HalfBarOf(bar.width);
    for (int i = 0; i <= half.lastBand; ++i) {
        const int left = static_cast<int>(i * half.bandWidth),
                  right = static_cast<int>((i + 1) * half.bandWidth);
        for (int x = left; x < right; ++x)
            if (bar.At(x, 1) != RGB(0, 128 - i, 128))
                return "column " + std::to_string(x) + " of band " + std::to_string(i) + " is " +
                       std::to_string(bar.At(x, 1));
    }
    for (int x = half.backgroundFrom; x < bar.width; ++x)
        if (bar.At(x, 0) != face || bar.At(x, 1) != face)
            return "column " + std::to_string(x) + " is not background";
    if (CountOther(bar, bar.width - bar.width / 3, bar.width, face) != 0)
        return "the right third is not all background";
    return "";
}

} // namespace

TEST(ProgressPixels, AtPositionFiftyTheBandsRunFromTealTowardNavyAndStopAtABandEdge) {
    VirtualDevice device;
    WindowDriver app;
    RunToPosition(app, device, "bar-50", 50);
    if (HasFatalFailure())
        return;
    // Waits for the whole picture: a window of a test running alongside may lie over any part of the bar for
    // a moment.
    const auto bar =
        CaptureBar(app, [](const WindowDriver::Pixels& shown) { return HalfBarMismatch(shown).empty(); });
    ASSERT_FALSE(bar.Empty());
    RecordProperty("bar_width", bar.width);
    EXPECT_EQ(HalfBarMismatch(bar), "");
    if (bar.width == 478) {
        const HalfBar half = HalfBarOf(bar.width);
        EXPECT_EQ(half.filled, 239);
        EXPECT_EQ(half.lastBand, 64);
        EXPECT_EQ(half.backgroundFrom, 242);
    }
    EXPECT_EQ(bar.width, 478) << "the bar's width on this display";
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
        ASSERT_FALSE(bar.Empty());
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
        ASSERT_FALSE(bar.Empty());
        const int notFace = CountOther(bar, 0, bar.width, face);
        EXPECT_EQ(notFace, 0);
        if (notFace != 0) {
            const std::string picture = NewImageFolder("bar-101-shown") + "\\bar.bmp";
            bar.SaveBmp(picture);
            ADD_FAILURE() << "the bar as captured: " << picture;
        }
    }
}
