// Where a device's pipes live. The link library, the virtual device and the tests agree on these names.
#pragma once

#include <string>

namespace tandry {

// Environment variable that selects the device path prefix; unset or empty means DEFAULT_PREFIX.
constexpr const char* PREFIX_VARIABLE = "TANDRY_DEVICE_PREFIX";
// The virtual device's own namespace, used when nothing else is asked for.
constexpr const char* DEFAULT_PREFIX = "\\\\.\\pipe\\OstrelSim";

// Pipe names under the prefix. PIPE00 carries host-to-device data, PIPE01 the device's replies. PRESENT
// answers while the device is attached (the presence check opens it). CONTROL belongs to the virtual device
// only.
constexpr const char* HOST_TO_DEVICE = "PIPE00";
constexpr const char* DEVICE_TO_HOST = "PIPE01";
constexpr const char* PRESENCE = "PRESENT";
constexpr const char* CONTROL = "CONTROL";

inline std::string DevicePath(const std::string& prefix, const char* name) {
    return prefix + "\\" + name;
}

} // namespace tandry
