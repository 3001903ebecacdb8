// The gradient bar's arithmetic, without a window.
#include "controls/GradientLayout.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF TEAL = 0x808000;
constexpr COLORREF NAVY = 0x800000;
constexpr COLORREF DEFAULT_START = 0x800000;
constexpr COLORREF DEFAULT_END = 0xFF0000;

// Bands follow each other without gap or overlap, starting at column 0.
void ExpectContiguous(const gradient::BarLayout& layout) {
    ASSERT_FALSE(layout.bands.empty());
    EXPECT_EQ(layout.bands.front().left, 0);
    for (size_t i = 1; i < layout.bands.size(); ++i)
        EXPECT_EQ(layout.bands[i].left, layout.bands[i - 1].right) << "band " << i;
    EXPECT_EQ(layout.backgroundLeft, layout.bands.back().right);
}

TEST(GradientLayout, TealToNavyHalfwayOn478Pixels) {
    EXPECT_EQ(gradient::BandCount(TEAL, NAVY), 128);
    const int filled = gradient::FilledWidth(50, 100, 478);
    EXPECT_EQ(filled, 239);

    const gradient::BarLayout layout = gradient::LayOutBar(TEAL, NAVY, 478, filled);
    ASSERT_EQ(layout.bands.size(), 65u);
    ExpectContiguous(layout);
    // The band holding the filled width is drawn whole: 239..241.
    EXPECT_EQ(layout.bands[64].left, 239);
    EXPECT_EQ(layout.bands[64].right, 242);
    EXPECT_EQ(layout.backgroundLeft, 242);
    for (int i = 0; i < 65; ++i)
        EXPECT_EQ(layout.bands[i].colour, RGB(0, 128 - i, 128)) << "band " << i;
    // Band edges are i x 3.734375 truncated.
    EXPECT_EQ(layout.bands[1].left, 3);
    EXPECT_EQ(layout.bands[2].left, 7);
    EXPECT_EQ(layout.bands[3].left, 11);
}

TEST(GradientLayout, FullBarShowsEveryBandButNeverTheEndColour) {
    const gradient::BarLayout layout =
        gradient::LayOutBar(TEAL, NAVY, 478, gradient::FilledWidth(100, 100, 478));
    ASSERT_EQ(layout.bands.size(), 128u);
    ExpectContiguous(layout);
    EXPECT_EQ(layout.backgroundLeft, 478);
    EXPECT_EQ(layout.bands.back().colour, RGB(0, 1, 128));
}

TEST(GradientLayout, ConstructionColoursGive127BandsOfRisingBlue) {
    EXPECT_EQ(gradient::BandCount(DEFAULT_START, DEFAULT_END), 127);
    const gradient::BarLayout layout = gradient::LayOutBar(DEFAULT_START, DEFAULT_END, 300, 300);
    ASSERT_EQ(layout.bands.size(), 127u);
    for (int i = 0; i < 127; ++i)
        EXPECT_EQ(layout.bands[i].colour, RGB(0, 0, 128 + i)) << "band " << i;
}

TEST(GradientLayout, BandsWhoseSumFallsShortStillCoverTheWholeBar) {
    // 478 / 27 in single precision times 27 is 477.99997: cut at (i + 1) x w,
    // the last band would end at column 477 and leave column 477 to stale
    // memory. The last band must reach the right edge all the same.
    volatile float w = 478.0f / 27;
    volatile float sum = 27 * w;
    ASSERT_LT(static_cast<int>(sum), 478) << "these widths no longer fall short";
    const gradient::BarLayout layout = gradient::LayOutBar(RGB(0, 0, 0), RGB(27, 0, 0), 478, 478);
    ASSERT_EQ(layout.bands.size(), 27u);
    ExpectContiguous(layout);
    EXPECT_EQ(layout.bands.back().right, 478);
    EXPECT_EQ(layout.backgroundLeft, 478);
    EXPECT_EQ(layout.bands[1].colour, RGB(1, 0, 0));
}

TEST(GradientLayout, NothingDoneShowsOnlyBackground) {
    const gradient::BarLayout layout = gradient::LayOutBar(TEAL, NAVY, 478, 0);
    EXPECT_TRUE(layout.bands.empty());
    EXPECT_EQ(layout.backgroundLeft, 0);
}

TEST(GradientLayout, FilledWidthOnABandEdgeStartsTheNextBand) {
    // 242 is band 65's left edge: band 64 ends there, so band 65 is drawn too.
    const gradient::BarLayout layout = gradient::LayOutBar(TEAL, NAVY, 478, 242);
    ASSERT_EQ(layout.bands.size(), 66u);
    EXPECT_EQ(layout.bands[65].left, 242);
    EXPECT_EQ(layout.backgroundLeft, 246);
}

TEST(GradientLayout, EqualColoursGiveAPlainBarEndingAtTheFilledWidth) {
    const gradient::BarLayout half = gradient::LayOutBar(TEAL, TEAL, 478, 200);
    ASSERT_EQ(half.bands.size(), 1u);
    EXPECT_EQ(half.bands[0].left, 0);
    EXPECT_EQ(half.bands[0].right, 200);
    EXPECT_EQ(half.bands[0].colour, TEAL);
    EXPECT_EQ(half.backgroundLeft, 200);

    EXPECT_TRUE(gradient::LayOutBar(TEAL, TEAL, 478, 0).bands.empty());
    EXPECT_EQ(gradient::LayOutBar(TEAL, TEAL, 478, 478).backgroundLeft, 478);
}

TEST(GradientLayout, FilledWidthIsTruncatedNotRounded) {
    EXPECT_EQ(gradient::FilledWidth(2, 3, 100), 66);
    EXPECT_EQ(gradient::FilledWidth(1, 3, 100), 33);
    EXPECT_EQ(gradient::FilledWidth(100, 100, 478), 478);
    EXPECT_EQ(gradient::FilledWidth(0, 100, 478), 0);
    // The lower bound takes no part: -25 of 100 is a quarter bar to the left.
    EXPECT_EQ(gradient::FilledWidth(-25, 100, 400), -100);
}

TEST(GradientLayout, UpperBoundZeroOrBelowNeverDivides) {
    EXPECT_EQ(gradient::FilledWidth(0, 0, 478), 0);
    EXPECT_EQ(gradient::FilledWidth(-5, -1, 478), 0);
    EXPECT_EQ(gradient::PercentText(0, 0, ""), "");
    EXPECT_EQ(gradient::PercentText(-5, -1, "x"), "");
}

TEST(GradientLayout, FarNegativePositionStaysWithinOneBarWidth) {
    EXPECT_EQ(gradient::FilledWidth(-2147483647 - 1, 1, 478), -478);
}

TEST(GradientLayout, RangeCheckIncludesBothBounds) {
    EXPECT_FALSE(gradient::IsOutsideRange(0, 0, 100));
    EXPECT_FALSE(gradient::IsOutsideRange(100, 0, 100));
    EXPECT_TRUE(gradient::IsOutsideRange(101, 0, 100));
    EXPECT_TRUE(gradient::IsOutsideRange(-1, 0, 100));
    EXPECT_TRUE(gradient::IsOutsideRange(50, 100, 0));
}

TEST(GradientLayout, PercentTextWithAndWithoutSuffix) {
    EXPECT_EQ(gradient::PercentText(45, 100, ""), "45%");
    EXPECT_EQ(gradient::PercentText(0, 100, ""), "0%");
    EXPECT_EQ(gradient::PercentText(100, 100, ""), "100%");
    EXPECT_EQ(gradient::PercentText(2, 3, ""), "67%");
    EXPECT_EQ(gradient::PercentText(45, 100, "firm"), "45% : firm");
}

} // namespace
