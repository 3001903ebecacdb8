// Which power states keep an update from starting: only a battery known to be low, never a desktop or a
// charge the system cannot tell.
#include "engine/PowerCheck.h"

#include <gtest/gtest.h>

TEST(PowerCheck, RefusesOnlyABatteryKnownToBeBelowTwentyPercent) {
    struct Case {
        BYTE ac, flag, percent;
        bool tooLow;
    };
    const Case cases[] = {
        {0, 0, 19, true},   {0, 8, 5, true},    // on battery, low (charging or not: the plug is out)
        {0, 0, 20, false},  {0, 0, 100, false}, // on battery, charged enough
        {1, 0, 5, false},   {255, 0, 5, false}, // on mains, or the line unknown
        {0, 128, 5, false}, {0, 255, 5, false}, // no battery, or its state unknown
        {0, 0, 255, false},                     // a charge the system cannot tell
    };
    for (const Case& c : cases) {
        SYSTEM_POWER_STATUS status{};
        status.ACLineStatus = c.ac;
        status.BatteryFlag = c.flag;
        status.BatteryLifePercent = c.percent;
        EXPECT_EQ(BatteryTooLowToUpdate(status), c.tooLow)
            << int(c.ac) << " " << int(c.flag) << " " << int(c.percent);
    }
}
