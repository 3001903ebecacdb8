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
    bool Open(std::string& error);
    // Serves commands until "quit", the quit event, or the end of the parent process.
    void Run(HANDLE quitEvent);

    std::string Handle(const std::string& command); // answers one command

private:
    enum class State { Connecting, Reading, Writing };
    void Begin(State state);
    void Started(BOOL ok, DWORD acceptedError);
    void StartConnect();
    void StartRead();
    void StartWrite(const std::string& reply);
    void DropClient();

    const Options& m_options;
    Device& m_device;
    Recorder& m_recorder;
    std::string m_prefix;
    UniqueHandle m_pipe;
    UniqueHandle m_event;
    OVERLAPPED m_ov{};
    State m_state = State::Connecting;
    bool m_pending = false;     // the current operation is under way in the system
    bool m_startFailed = false; // the current operation failed when it was started
    char m_buffer[512] = {};
    std::string m_request;
    std::string m_reply;
    unsigned long long m_readStartTick = 0;
    bool m_quitting = false;
};

} // namespace ostrelsim
