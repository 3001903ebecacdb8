// The control pipe <prefix>\CONTROL through which tests drive the device: one text command per message
// ("plug", "unplug", "identity X", "status", "quit"), one text answer per command. Runs on the main thread,
// which is therefore the only one that plugs and unplugs the device.
#pragma once

#include "ostrelsim/Device.h"
#include "ostrelsim/Options.h"
#include "ostrelsim/Recorder.h"
#include "system/UniqueHandle.h"

#include <string>

namespace ostrelsim {

class ControlChannel {
public:
    ControlChannel(const Options& options, Device& device, Recorder& recorder, std::string prefix);

    // Creates the control pipe; fails when another device already uses the prefix.
    bool open(std::string& error);
    // Serves commands until "quit", the quit event, or the end of the parent process.
    void run(HANDLE quitEvent);

    std::string handle(const std::string& command); // answers one command

private:
    enum class State { Connecting, Reading, Writing };
    void begin(State state);
    void started(BOOL ok, DWORD acceptedError);
    void startConnect();
    void startRead();
    void startWrite(const std::string& reply);
    void dropClient();

    const Options& options_;
    Device& device_;
    Recorder& recorder_;
    std::string prefix_;
    UniqueHandle pipe_;
    UniqueHandle event_;
    OVERLAPPED ov_{};
    State state_ = State::Connecting;
    bool pending_ = false;     // the current operation is under way in the system
    bool startFailed_ = false; // the current operation failed when it was started
    char buffer_[512] = {};
    std::string request_;
    std::string reply_;
    unsigned long long readStartTick_ = 0;
    bool quitting_ = false;
};

} // namespace ostrelsim
