#pragma once

#include <windows.h>

// Below this charge, on battery, an update does not start: a PC that switches itself off halfway through an
// image can leave a device that no longer starts.
constexpr BYTE LOW_BATTERY_PERCENT = 20;

// Whether the PC runs on a battery whose charge is known and below LOW_BATTERY_PERCENT. Mains power, an
// unknown line status, no battery (flag 128) or an unknown charge (255) never refuse a run.
bool BatteryTooLowToUpdate(const SYSTEM_POWER_STATUS& status);

// The same, of the PC's power status now; false when the system cannot tell.
bool BatteryTooLowToUpdate();
