// A virtual Ostrel device for tests: starts OstrelSim.exe (found beside the test program) under a device path
// prefix of its own, points this process (and the children it starts) at it through TANDRY_DEVICE_PREFIX,
// controls it and reads back what it received.
//
//   VirtualDevice dev;                         // plugged in, default identity reply
//   VirtualDevice dev({"--identity-byte", "b"}); // extra OstrelSim.exe options
//   dev.Unplug(); dev.Plug(); dev.GetStatus().identityRequests;
//   dev.WaitForImages(1, 10000); auto images = dev.Images();
//
// It also sets NIMBREL_RUN_LOCK_SCOPE to a value of its own, so that the programs started for this device
// share one update lock and tests that run side by side (one wineserver) never hold each other's.
//
// Several instances may live side by side; the one constructed last owns both environment variables until it
// ends, when their previous values come back. The destructor asks the device to quit and waits for its
// process.
#pragma once

#include "ostrelsim/Counters.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class VirtualDevice {
public:
    // Counters reported by the device's "status" command (ostrelsim/Counters.h).
    using Status = ostrelsim::Counters;

    // One image as the device stored it, in arrival order.
    struct Image {
        std::vector<std::uint8_t> command;     // the first 20 bytes of the connection
        std::vector<std::uint8_t> payload;     // everything after them
        std::vector<std::uint32_t> writeSizes; // size of every host write, the command's first
        bool complete = false;                 // false when the connection broke (unplug, failure) first
    };

    // One host write on PIPE00 or PIPE01 as logged by the device.
    struct Write {
        std::string pipe;        // "PIPE00" or "PIPE01"
        unsigned connection = 0; // device-wide connection number
        std::uint32_t size = 0;
        std::vector<std::uint8_t> head; // up to the first 8 bytes
    };

    // Starts the device with the given extra command-line options (see OstrelSim.exe --help).
    // Reports a failure (ReportSupportFailure: in a test, the calling test fails) and leaves Running() false
    // when it cannot start.
    explicit VirtualDevice(const std::vector<std::string>& extraArgs = {});
    ~VirtualDevice();
    VirtualDevice(const VirtualDevice&) = delete;
    VirtualDevice& operator=(const VirtualDevice&) = delete;

    bool Running() const;
    DWORD ProcessId() const;
    const std::string& Prefix() const { return m_prefix; }       // e.g. \\.\pipe\OstrelSimTest-1234-1
    const std::string& OutputDir() const { return m_outputDir; } // images and log.jsonl
    // The update lock that the programs started for this device share (a named mutex).
    std::string RunLockName() const { return "Global\\NimbrelUpdateRun-" + m_lockScope; }

    // Sets TANDRY_DEVICE_PREFIX and NIMBREL_RUN_LOCK_SCOPE of this process to this device (the constructor
    // already did).
    void PointEnvironmentHere() const;

    bool Plug();
    bool Unplug();
    Status GetStatus();
    bool Quit(DWORD waitMs = 10000);              // asks the device to end and waits for its process
    std::string Command(const std::string& text); // raw control command; "" when the device did not answer

    // Polls GetStatus() every 10 ms until the predicate holds or the time is up.
    bool WaitFor(const std::function<bool(const Status&)>& predicate, DWORD timeoutMs);
    bool WaitForImages(unsigned count, DWORD timeoutMs); // completed + broken >= count

    std::vector<Image> Images() const;
    std::vector<Write> Writes() const;         // every host write, in arrival order
    std::vector<std::string> LogLines() const; // the raw JSON lines
    std::string ConsoleOutput() const;         // what the device printed so far

    static std::string ExeDir(); // folder of the running test program, with a trailing backslash

private:
    std::string Transact(const std::string& text);

    std::string m_prefix;
    std::string m_outputDir;
    std::string m_consolePath;
    std::string m_previousPrefix;
    bool m_hadPreviousPrefix = false;
    std::string m_lockScope; // unique to this device, as its prefix is
    std::string m_previousLockScope;
    bool m_hadPreviousLockScope = false;
    HANDLE m_process = nullptr;
};
