#include "ostrelsim/ControlChannel.h"

#include "tandryusb/DevicePaths.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace ostrelsim {
namespace {

// A client that connects and then says nothing must not keep others out.
constexpr unsigned long long IDLE_CLIENT_MS = 5000;

std::string trimmed(const std::string& text) {
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
    : options_(options), device_(device), recorder_(recorder), prefix_(std::move(prefix)),
      event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

bool ControlChannel::open(std::string& error) {
    const std::string path = tandry::devicePath(prefix_, tandry::CONTROL);
    pipe_.Reset(CreateNamedPipeA(
        path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    if (!pipe_) {
        error = "cannot create " + path + " (error " + std::to_string(GetLastError()) +
                "); is another device using this prefix?";
        return false;
    }
    startConnect(); // listening from the moment the name exists
    return true;
}

void ControlChannel::begin(State state) {
    state_ = state;
    ov_ = OVERLAPPED{};
    ov_.hEvent = event_.Get();
    ResetEvent(event_.Get());
    pending_ = false;
}

// Every operation on the control pipe ends by signalling event_: at once when it finished (or failed) when
// started, or later through the system when it pends. `pending_` tells which, so that an abandoned operation
// is only waited for when it really is under way.
void ControlChannel::started(BOOL ok, DWORD acceptedError) {
    const DWORD error = ok ? 0 : GetLastError();
    if (!ok && error == ERROR_IO_PENDING) {
        pending_ = true;
        return;
    }
    startFailed_ = !ok && error != acceptedError;
    SetEvent(event_.Get());
}

void ControlChannel::startConnect() {
    begin(State::Connecting);
    started(ConnectNamedPipe(pipe_.Get(), &ov_), ERROR_PIPE_CONNECTED);
}

void ControlChannel::startRead() {
    begin(State::Reading);
    readStartTick_ = GetTickCount64();
    started(ReadFile(pipe_.Get(), buffer_, sizeof buffer_, nullptr, &ov_), ERROR_MORE_DATA);
}

void ControlChannel::startWrite(const std::string& reply) {
    begin(State::Writing);
    reply_ = reply;
    started(WriteFile(pipe_.Get(), reply_.data(), static_cast<DWORD>(reply_.size()), nullptr, &ov_), 0);
}

void ControlChannel::dropClient() {
    if (pending_) {
        CancelIo(pipe_.Get());
        DWORD bytes = 0;
        GetOverlappedResult(pipe_.Get(), &ov_, &bytes, TRUE);
        pending_ = false;
    }
    DisconnectNamedPipe(pipe_.Get());
    request_.clear();
    if (!quitting_) {
        startConnect();
    }
}

std::string ControlChannel::handle(const std::string& rawCommand) {
    std::string command = trimmed(rawCommand);
    std::transform(command.begin(), command.end(), command.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    recorder_.log("\"event\":\"control\",\"command\":" + Recorder::quote(command));
    if (command == "plug") {
        device_.plug();
        return "ok plugged";
    }
    if (command == "unplug") {
        device_.unplug("control");
        return "ok unplugged";
    }
    if (command.rfind("identity ", 0) == 0) {
        // The case of the byte matters ('B' is an Ostrel, 'b' is not): take it from the command as sent.
        const std::string raw = trimmed(rawCommand);
        std::uint8_t byte = 0;
        if (!parseByte(trimmed(raw.substr(raw.find(' '))), byte)) {
            return "error identity takes one character or a number from 0 to 255";
        }
        device_.setIdentityByte(byte);
        return "ok identity " + std::to_string(byte);
    }
    if (command == "status") {
        return device_.counters().toJson();
    }
    if (command == "quit") {
        quitting_ = true;
        return "ok quitting";
    }
    return "error unknown command '" + command + "' (plug, unplug, identity X, status, quit)";
}

void ControlChannel::run(HANDLE quitEvent) {
    UniqueHandle parent;
    if (options_.parentPid != 0) {
        parent.Reset(OpenProcess(SYNCHRONIZE, FALSE, options_.parentPid));
        if (!parent) {
            recorder_.log("\"event\":\"error\",\"what\":\"parent process not found\"");
            return;
        }
    }
    const unsigned long long started = GetTickCount64();
    bool plugTimerArmed = !options_.startPlugged && options_.plugAfterMs != 0;
    for (;;) {
        std::vector<HANDLE> waits = {event_.Get(), quitEvent, device_.autoUnplugEvent()};
        if (parent) {
            waits.push_back(parent.Get());
        }
        DWORD timeout = INFINITE;
        const unsigned long long now = GetTickCount64();
        if (plugTimerArmed) {
            const unsigned long long due = started + options_.plugAfterMs;
            timeout = due > now ? static_cast<DWORD>(due - now) : 0;
        }
        if (state_ == State::Reading) {
            const unsigned long long due = readStartTick_ + IDLE_CLIENT_MS;
            timeout = std::min<DWORD>(timeout, due > now ? static_cast<DWORD>(due - now) : 0);
        }
        const DWORD woke =
            WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, timeout);
        if (woke == WAIT_OBJECT_0 + 1 || woke == WAIT_OBJECT_0 + 3) {
            recorder_.log(woke == WAIT_OBJECT_0 + 1 ? "\"event\":\"quit\",\"reason\":\"console\""
                                                    : "\"event\":\"quit\",\"reason\":\"parent ended\"");
            quitting_ = true;
            dropClient();
            return;
        }
        if (woke == WAIT_OBJECT_0 + 2) {
            device_.unplug("misbehaviour option");
            continue;
        }
        if (woke == WAIT_TIMEOUT) {
            if (plugTimerArmed && GetTickCount64() >= started + options_.plugAfterMs) {
                plugTimerArmed = false;
                device_.plug();
            }
            if (state_ == State::Reading && GetTickCount64() >= readStartTick_ + IDLE_CLIENT_MS) {
                dropClient();
            }
            continue;
        }
        if (woke != WAIT_OBJECT_0) {
            return; // a wait that fails would otherwise spin
        }
        DWORD bytes = 0;
        BOOL ok = FALSE;
        DWORD error = 0;
        if (pending_) {
            pending_ = false;
            ok = GetOverlappedResult(pipe_.Get(), &ov_, &bytes, FALSE);
            error = ok ? 0 : GetLastError();
        } else if (startFailed_) {
            error = ERROR_BROKEN_PIPE;
        } else {
            ok = GetOverlappedResult(pipe_.Get(), &ov_, &bytes, FALSE);
            error = ok ? 0 : GetLastError();
        }
        ResetEvent(event_.Get());
        switch (state_) {
        case State::Connecting:
            if (!ok && error != ERROR_PIPE_CONNECTED) {
                // The client left before we saw it: listen anew after a breath, without spinning.
                DisconnectNamedPipe(pipe_.Get());
                Sleep(10);
                startConnect();
                break;
            }
            startRead();
            break;
        case State::Reading:
            if (!ok && error != ERROR_MORE_DATA) {
                dropClient(); // the client closed its end
                break;
            }
            request_.append(buffer_, bytes);
            if (!ok) {
                startRead(); // the rest of a long message
                break;
            }
            startWrite(handle(request_));
            request_.clear();
            break;
        case State::Writing:
            if (quitting_) {
                // Let the client read the answer before the pipe goes away.
                FlushFileBuffers(pipe_.Get());
                dropClient();
                return;
            }
            if (!ok) {
                dropClient();
            } else {
                startRead();
            }
            break;
        }
    }
}

} // namespace ostrelsim
