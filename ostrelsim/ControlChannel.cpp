#include "ostrelsim/ControlChannel.h"

#include "tandryusb/DevicePaths.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace ostrelsim {
namespace {

// A client that connects and then says nothing must not keep others out.
constexpr unsigned long long IDLE_CLIENT_MS = 5000;

std::string Trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

} // namespace

ControlChannel::ControlChannel(const Options& options, Device& device, Recorder& recorder, std::string prefix)
    : m_options(options), m_device(device), m_recorder(recorder), m_prefix(std::move(prefix)),
      m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

bool ControlChannel::Open(std::string& error) {
    const std::string path = tandry::DevicePath(m_prefix, tandry::CONTROL);
    m_pipe.Reset(CreateNamedPipeA(
        path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    if (!m_pipe) {
        error = "cannot create " + path + " (error " + std::to_string(GetLastError()) +
                "); is another device using this prefix?";
        return false;
    }
    StartConnect(); // listening from the moment the name exists
    return true;
}

void ControlChannel::Begin(State state) {
    m_state = state;
    m_ov = OVERLAPPED{};
    m_ov.hEvent = m_event.Get();
    ResetEvent(m_event.Get());
    m_pending = false;
}

// Every operation on the control pipe ends by signalling m_event: at once when it finished (or failed) when
// started, or later through the system when it pends. `m_pending` tells which, so that an abandoned operation
// is only waited for when it really is under way.
void ControlChannel::Started(BOOL ok, DWORD acceptedError) {
    const DWORD error = ok ? 0 : GetLastError();
    if (!ok && error == ERROR_IO_PENDING) {
        m_pending = true;
        return;
    }
    m_startFailed = !ok && error != acceptedError;
    SetEvent(m_event.Get());
}

void ControlChannel::StartConnect() {
    Begin(State::Connecting);
    Started(ConnectNamedPipe(m_pipe.Get(), &m_ov), ERROR_PIPE_CONNECTED);
}

void ControlChannel::StartRead() {
    Begin(State::Reading);
    m_readStartTick = GetTickCount64();
    Started(ReadFile(m_pipe.Get(), m_buffer, sizeof m_buffer, nullptr, &m_ov), ERROR_MORE_DATA);
}

void ControlChannel::StartWrite(const std::string& reply) {
    Begin(State::Writing);
    m_reply = reply;
    Started(WriteFile(m_pipe.Get(), m_reply.data(), static_cast<DWORD>(m_reply.size()), nullptr, &m_ov), 0);
}

void ControlChannel::DropClient() {
    if (m_pending) {
        CancelIo(m_pipe.Get());
        DWORD bytes = 0;
        GetOverlappedResult(m_pipe.Get(), &m_ov, &bytes, TRUE);
        m_pending = false;
    }
    DisconnectNamedPipe(m_pipe.Get());
    m_request.clear();
    if (!m_quitting) {
        StartConnect();
    }
}

std::string ControlChannel::Handle(const std::string& rawCommand) {
    std::string command = Trimmed(rawCommand);
    std::transform(command.begin(), command.end(), command.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    m_recorder.Log("\"event\":\"control\",\"command\":" + Recorder::Quote(command));
    if (command == "plug") {
        m_device.Plug();
        return "ok plugged";
    }
    if (command == "unplug") {
        m_device.Unplug("control");
        return "ok unplugged";
    }
    if (command.rfind("identity ", 0) == 0) {
        // The case of the byte matters ('B' is an Ostrel, 'b' is not): take it from the command as sent.
        const std::string raw = Trimmed(rawCommand);
        std::uint8_t byte = 0;
        if (!ParseByte(Trimmed(raw.substr(raw.find(' '))), byte)) {
            return "error identity takes one character or a number from 0 to 255";
        }
        m_device.SetIdentityByte(byte);
        return "ok identity " + std::to_string(byte);
    }
    if (command == "status") {
        return ToJson(m_device.GetCounters());
    }
    if (command == "quit") {
        m_quitting = true;
        return "ok quitting";
    }
    return "error unknown command '" + command + "' (plug, unplug, identity X, status, quit)";
}

void ControlChannel::Run(HANDLE quitEvent) {
    UniqueHandle parent;
    if (m_options.parentPid != 0) {
        parent.Reset(OpenProcess(SYNCHRONIZE, FALSE, m_options.parentPid));
        if (!parent) {
            m_recorder.Log("\"event\":\"error\",\"what\":\"parent process not found\"");
            return;
        }
    }
    const unsigned long long started = GetTickCount64();
    bool plugTimerArmed = !m_options.startPlugged && m_options.plugAfterMs != 0;
    for (;;) {
        std::vector<HANDLE> waits = {m_event.Get(), quitEvent, m_device.AutoUnplugEvent()};
        if (parent) {
            waits.push_back(parent.Get());
        }
        DWORD timeout = INFINITE;
        const unsigned long long now = GetTickCount64();
        if (plugTimerArmed) {
            const unsigned long long due = started + m_options.plugAfterMs;
            timeout = due > now ? static_cast<DWORD>(due - now) : 0;
        }
        if (m_state == State::Reading) {
            const unsigned long long due = m_readStartTick + IDLE_CLIENT_MS;
            timeout = std::min<DWORD>(timeout, due > now ? static_cast<DWORD>(due - now) : 0);
        }
        const DWORD woke =
            WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, timeout);
        if (woke == WAIT_OBJECT_0 + 1 || woke == WAIT_OBJECT_0 + 3) {
            m_recorder.Log(woke == WAIT_OBJECT_0 + 1 ? "\"event\":\"quit\",\"reason\":\"console\""
                                                     : "\"event\":\"quit\",\"reason\":\"parent ended\"");
            m_quitting = true;
            DropClient();
            return;
        }
        if (woke == WAIT_OBJECT_0 + 2) {
            m_device.Unplug("misbehaviour option");
            continue;
        }
        if (woke == WAIT_TIMEOUT) {
            if (plugTimerArmed && GetTickCount64() >= started + m_options.plugAfterMs) {
                plugTimerArmed = false;
                m_device.Plug();
            }
            if (m_state == State::Reading && GetTickCount64() >= m_readStartTick + IDLE_CLIENT_MS) {
                DropClient();
            }
            continue;
        }
        if (woke != WAIT_OBJECT_0) {
            return; // a wait that fails would otherwise spin
        }
        DWORD bytes = 0;
        BOOL ok = FALSE;
        DWORD error = 0;
        if (m_pending) {
            m_pending = false;
            ok = GetOverlappedResult(m_pipe.Get(), &m_ov, &bytes, FALSE);
            error = ok ? 0 : GetLastError();
        } else if (m_startFailed) {
            error = ERROR_BROKEN_PIPE;
        } else {
            ok = GetOverlappedResult(m_pipe.Get(), &m_ov, &bytes, FALSE);
            error = ok ? 0 : GetLastError();
        }
        ResetEvent(m_event.Get());
        switch (m_state) {
        case State::Connecting:
            if (!ok && error != ERROR_PIPE_CONNECTED) {
                // The client left before we saw it: listen anew after a breath, without spinning.
                DisconnectNamedPipe(m_pipe.Get());
                Sleep(10);
                StartConnect();
                break;
            }
            StartRead();
            break;
        case State::Reading:
            if (!ok && error != ERROR_MORE_DATA) {
                DropClient(); // the client closed its end
                break;
            }
            m_request.append(m_buffer, bytes);
            if (!ok) {
                StartRead(); // the rest of a long message
                break;
            }
            StartWrite(Handle(m_request));
            m_request.clear();
            break;
        case State::Writing:
            if (m_quitting) {
                // Let the client read the answer before the pipe goes away.
                FlushFileBuffers(m_pipe.Get());
                DropClient();
                return;
            }
            if (!ok) {
                DropClient();
            } else {
                StartRead();
            }
            break;
        }
    }
}

} // namespace ostrelsim
