#include "ostrelsim/Device.h"

#include "tandryusb/DevicePaths.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace ostrelsim {
namespace {

constexpr DWORD SMALL_BUFFER = 4096;
constexpr std::uint8_t IDENTITY_REQUEST = 0x21;
constexpr std::uint8_t IMAGE_MARK = 0x25;
// How long an image's first write waits for earlier host connections to show what they are.
constexpr std::chrono::seconds ORDER_WAIT{30};
const char REPLY_TAIL[] = "OSTRELSIM"; // bytes 1..9 of the identity reply

std::string HeadHex(const std::vector<std::uint8_t>& bytes) {
    return Sha256::Hex(bytes.data(), std::min<std::size_t>(bytes.size(), 8));
}

UniqueHandle NewEvent(bool manualReset, bool initial) {
    return UniqueHandle(CreateEventA(nullptr, manualReset ? TRUE : FALSE, initial ? TRUE : FALSE, nullptr));
}

std::string JsonValue(bool flag) {
    return flag ? "true" : "false";
}

template <typename Number> std::string JsonValue(Number number) {
    return std::to_string(number);
}

} // namespace

std::string ToJson(const Counters& counters) {
    std::string json;
    ForEachCounter([&](const char* name, auto member) {
        json += json.empty() ? "{\"" : ",\"";
        json += name;
        json += "\":";
        json += JsonValue(counters.*member);
    });
    return json + "}";
}

// What one PIPE00 connection has seen so far.
struct Device::HostConnection {
    unsigned id = 0;
    OVERLAPPED ov{};
    UniqueHandle event;
    std::vector<std::uint8_t> buffer;
    std::vector<std::uint8_t> message;
    enum class Kind { Unknown, Image, Other } kind = Kind::Unknown;
    std::unique_ptr<ImageRecord> image;
    unsigned long long paceCarry = 0; // bytes read but not yet paid for in sleep time
    bool unplugWhenEnded = false;     // the connection after which --unplug-after-images unplugs
};

Device::Device(const Options& options, Recorder& recorder, std::string prefix)
    : m_options(options), m_recorder(recorder), m_prefix(std::move(prefix)),
      m_identityByte(options.identityByte), m_stop(NewEvent(true, true)),
      m_stopPresence(NewEvent(true, true)), m_autoUnplug(NewEvent(false, false)),
      m_replyReady(NewEvent(true, false)), m_closeHostListener(NewEvent(true, false)),
      m_hostListenerClosed(NewEvent(true, false)) {}

Device::~Device() {
    Unplug("device ends");
}

Counters Device::GetCounters() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counters;
}

void Device::Plug() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_counters.plugged) {
            return;
        }
        m_counters.plugged = true;
        ++m_counters.plugs;
    }
    ResetEvent(m_stop.Get());
    ResetEvent(m_stopPresence.Get());
    ResetEvent(m_closeHostListener.Get());
    ResetEvent(m_hostListenerClosed.Get());
    m_recorder.Log("\"event\":\"plug\"");
    // The first instances are made here, so that the device answers as soon as Plug() returns.
    UniqueHandle presence = CreateInstance(tandry::PRESENCE, 0);
    UniqueHandle hostToDevice = CreateInstance(tandry::HOST_TO_DEVICE, m_options.EffectivePipeBuffer());
    UniqueHandle deviceToHost = CreateInstance(tandry::DEVICE_TO_HOST, SMALL_BUFFER);
    m_listeners.emplace_back(
        [this, first = std::move(presence)]() mutable { PresenceLoop(std::move(first)); });
    m_listeners.emplace_back([this, first = std::move(hostToDevice)]() mutable {
        ListenLoop(tandry::HOST_TO_DEVICE, std::move(first));
    });
    m_listeners.emplace_back([this, first = std::move(deviceToHost)]() mutable {
        ListenLoop(tandry::DEVICE_TO_HOST, std::move(first));
    });
}

void Device::Unplug(const char* reason) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_counters.plugged) {
            return;
        }
    }
    // The presence pipe goes first (its listener is the first): a host that sees its transfer break must not
    // then find the device still there.
    SetEvent(m_stopPresence.Get());
    if (!m_listeners.empty()) {
        m_listeners.front().join();
    }
    SetEvent(m_stop.Get());
    JoinAll();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_counters.plugged = false;
        ++m_counters.unplugs;
        m_replies.clear();
        ResetEvent(m_replyReady.Get());
    }
    m_recorder.Log("\"event\":\"unplug\",\"reason\":" + Recorder::Quote(reason));
}

template <typename F> void Device::Spawn(F&& body) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([done, body = std::forward<F>(body)]() mutable {
        body();
        done->store(true);
    });
    std::lock_guard<std::mutex> lock(m_workersMutex);
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
    m_workers.push_back(Worker{std::move(thread), done});
}

void Device::JoinAll() {
    // Listeners first: once they are gone no new connection thread can appear.
    for (std::thread& listener : m_listeners) {
        if (listener.joinable()) {
            listener.join();
        }
    }
    m_listeners.clear();
    std::lock_guard<std::mutex> lock(m_workersMutex);
    for (Worker& worker : m_workers) {
        worker.thread.join();
    }
    m_workers.clear();
}

bool Device::StopRequested(DWORD waitMs) const {
    return WaitForSingleObject(m_stop.Get(), waitMs) == WAIT_OBJECT_0;
}

UniqueHandle Device::CreateInstance(const char* name, DWORD inBuffer) const {
    const std::string path = tandry::DevicePath(m_prefix, name);
    return UniqueHandle(CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                         PIPE_UNLIMITED_INSTANCES, SMALL_BUFFER, inBuffer, 0, nullptr));
}

// Waits for an overlapped operation that was just started. When the device is unplugged meanwhile, the
// operation is cancelled and waited for, so that its buffer and record may go.
Device::Io Device::Settle(HANDLE pipe, OVERLAPPED& ov, BOOL started, DWORD& bytes, HANDLE alsoStop) const {
    bytes = 0;
    if (!started) {
        const DWORD error = GetLastError();
        if (error == ERROR_MORE_DATA) {
            GetOverlappedResult(pipe, &ov, &bytes, FALSE);
            return Io::MoreData;
        }
        if (error != ERROR_IO_PENDING) {
            return Io::Failed;
        }
        HANDLE waits[] = {ov.hEvent, m_stop.Get(), alsoStop};
        if (WaitForMultipleObjects(alsoStop != nullptr ? 3 : 2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &ov, &bytes, TRUE);
            return Io::Stopped;
        }
    }
    if (GetOverlappedResult(pipe, &ov, &bytes, FALSE)) {
        return Io::Done;
    }
    return GetLastError() == ERROR_MORE_DATA ? Io::MoreData : Io::Failed;
}

bool Device::WaitForClient(HANDLE pipe, bool& stopped, HANDLE alsoStop) const {
    stopped = false;
    UniqueHandle event = NewEvent(true, false);
    OVERLAPPED ov{};
    ov.hEvent = event.Get();
    const BOOL started = ConnectNamedPipe(pipe, &ov);
    // A client may connect before ConnectNamedPipe is called (ERROR_PIPE_CONNECTED), or even write and close
    // again (ERROR_NO_DATA). Its writes are still in the pipe then, so both count as a connection.
    if (!started && (GetLastError() == ERROR_PIPE_CONNECTED || GetLastError() == ERROR_NO_DATA)) {
        return true;
    }
    DWORD bytes = 0;
    const Io result = Settle(pipe, ov, started, bytes, alsoStop);
    stopped = result == Io::Stopped;
    return result == Io::Done;
}

unsigned Device::NewConnection(const char* pipe) {
    unsigned id = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        id = ++m_nextConnection;
        ++m_counters.openConnections;
        if (std::strcmp(pipe, tandry::HOST_TO_DEVICE) == 0) {
            ++m_counters.pipe00Connections;
            m_unclassifiedHostConnections.insert(id);
        } else {
            ++m_counters.pipe01Connections;
        }
    }
    m_recorder.Log("\"event\":\"connect\",\"pipe\":\"" + std::string(pipe) +
                   "\",\"conn\":" + std::to_string(id));
    return id;
}

void Device::ConnectionClosed(const char* pipe, unsigned id, const char* how) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_counters.openConnections;
        if (m_unclassifiedHostConnections.erase(id) != 0) {
            m_hostConnectionClassified.notify_all();
        }
    }
    m_recorder.Log("\"event\":\"disconnect\",\"pipe\":\"" + std::string(pipe) +
                   "\",\"conn\":" + std::to_string(id) + ",\"how\":\"" + how + "\"");
}

// Called on the thread that reads the connection after which the device is to be unplugged, before it reads
// on: the host is still busy with that connection (it waits for the probe's reply, or to write the rest of an
// image larger than the pipe buffer), so it cannot have opened PIPE00 again before the listener is gone.
void Device::CloseHostListener() {
    SetEvent(m_closeHostListener.Get());
    HANDLE waits[] = {m_hostListenerClosed.Get(), m_stop.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    m_recorder.Log("\"event\":\"listener_closed\",\"pipe\":\"PIPE00\"");
}

void Device::RequestAutoUnplug(const char* why) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_autoUnplugFired) {
            return;
        }
        m_autoUnplugFired = true;
    }
    m_recorder.Log("\"event\":\"unplug_requested\",\"reason\":" + Recorder::Quote(why));
    SetEvent(m_autoUnplug.Get());
}

// Presence: every client that opens the presence pipe is a successful check. It is let go at once; its handle
// stays valid for the caller to close.
void Device::PresenceLoop(UniqueHandle instance) {
    // A client whose open went through before the unplug is counted, even if this thread only gets to see it
    // afterwards: the wait below reports such a client at once, and only then does the loop look at the stop.
    for (;;) {
        if (!instance) {
            m_recorder.Log("\"event\":\"error\",\"what\":\"cannot create the presence pipe\"");
            if (StopRequested(200)) {
                break;
            }
            instance = CreateInstance(tandry::PRESENCE, 0);
            continue;
        }
        bool stopped = false;
        const bool connected = WaitForClient(instance.Get(), stopped, m_stopPresence.Get());
        if (connected) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_counters.presenceChecks;
        }
        if (stopped || StopRequested() || WaitForSingleObject(m_stopPresence.Get(), 0) == WAIT_OBJECT_0) {
            break;
        }
        // The next instance exists before this one goes, so the name never vanishes while plugged in.
        UniqueHandle next = CreateInstance(tandry::PRESENCE, 0);
        DisconnectNamedPipe(instance.Get());
        instance = std::move(next);
    }
}

void Device::ListenLoop(const char* pipe, UniqueHandle instance) {
    const bool hostToDevice = std::strcmp(pipe, tandry::HOST_TO_DEVICE) == 0;
    const DWORD inBuffer = hostToDevice ? m_options.EffectivePipeBuffer() : SMALL_BUFFER;
    const HANDLE closeListener =
        hostToDevice && m_options.unplugAfterImages >= 0 ? m_closeHostListener.Get() : nullptr;
    // As with presence: a host whose open went through before the unplug has its connection, which then ends
    // as unplugged.
    for (;;) {
        if (!instance) {
            m_recorder.Log("\"event\":\"error\",\"what\":\"cannot create pipe " + std::string(pipe) + "\"");
            if (StopRequested(200)) {
                break;
            }
            instance = CreateInstance(pipe, inBuffer);
            continue;
        }
        bool stopped = false;
        if (!WaitForClient(instance.Get(), stopped, closeListener)) {
            if (stopped && !StopRequested()) {
                // No instance is left listening: the host's next open fails as with a device that is gone.
                instance.Reset();
                SetEvent(m_hostListenerClosed.Get());
                break;
            }
            if (stopped || StopRequested()) {
                break;
            }
            DisconnectNamedPipe(instance.Get()); // a client that came and went: listen again
            continue;
        }
        if (StopRequested()) {
            ConnectionClosed(pipe, NewConnection(pipe), "unplugged");
            break;
        }
        UniqueHandle next = CreateInstance(pipe, inBuffer);
        const unsigned id = NewConnection(pipe);
        if (hostToDevice) {
            Spawn([this, connected = std::move(instance), id]() mutable {
                ServeHostToDevice(std::move(connected), id);
            });
        } else {
            Spawn([this, connected = std::move(instance), id]() mutable {
                ServeDeviceToHost(std::move(connected), id);
            });
        }
        instance = std::move(next);
    }
}

// Reads one whole host write. With a rate limit the device takes small slices and, before each read, sleeps
// for the bytes it took last, so that the host's writes really wait for room in the pipe.
Device::Io Device::ReadMessage(HANDLE pipe, HostConnection& connection) {
    connection.message.clear();
    const std::uint32_t rate = m_options.rateBytesPerSecond;
    const DWORD slice = rate != 0 ? std::max<DWORD>(1, std::min<DWORD>(rate / 20, 4096))
                                  : static_cast<DWORD>(connection.buffer.size());
    for (;;) {
        if (rate != 0) {
            const unsigned long long sleepMs = connection.paceCarry * 1000 / rate;
            connection.paceCarry -= sleepMs * rate / 1000;
            if (sleepMs > 0 && StopRequested(static_cast<DWORD>(sleepMs))) {
                return Io::Stopped;
            }
        }
        connection.ov = OVERLAPPED{};
        connection.ov.hEvent = connection.event.Get();
        ResetEvent(connection.event.Get());
        DWORD bytes = 0;
        const BOOL started = ReadFile(pipe, connection.buffer.data(), slice, nullptr, &connection.ov);
        const Io result = Settle(pipe, connection.ov, started, bytes);
        if (result == Io::Failed || result == Io::Stopped) {
            return result;
        }
        connection.message.insert(connection.message.end(), connection.buffer.begin(),
                                  connection.buffer.begin() + bytes);
        connection.paceCarry += bytes;
        if (result == Io::Done) {
            return Io::Done;
        }
    }
}

Device::Next Device::OnHostWrite(HostConnection& connection) {
    const std::vector<std::uint8_t>& message = connection.message;
    m_recorder.Log("\"event\":\"write\",\"pipe\":\"PIPE00\",\"conn\":" + std::to_string(connection.id) +
                   ",\"size\":" + std::to_string(message.size()) + ",\"head\":\"" + HeadHex(message) + "\"");
    unsigned imageIndex = 0;
    bool inOrder = true;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_counters.writes;
        if (connection.kind == HostConnection::Kind::Unknown) {
            m_unclassifiedHostConnections.erase(connection.id);
            m_hostConnectionClassified.notify_all();
            if (!message.empty() && message[0] == IMAGE_MARK) {
                connection.kind = HostConnection::Kind::Image;
                // Images are numbered in the order the host opened their connections, not in the order this
                // device's threads happen to read them: a host that wrote one image whole into the pipe and
                // then opened the next must find them in that order. Earlier connections have their first
                // write waiting already, so this wait is short, but on a loaded machine their reading thread
                // may not run for seconds. It is bounded for one that never writes, and says so when it ends
                // that way, since the numbering may then be out of order.
                inOrder = m_hostConnectionClassified.wait_for(lock, ORDER_WAIT, [&] {
                    return m_unclassifiedHostConnections.empty() ||
                           *m_unclassifiedHostConnections.begin() > connection.id;
                });
                imageIndex = ++m_counters.imagesStarted;
            } else {
                connection.kind = HostConnection::Kind::Other;
            }
        }
    }
    if (connection.kind == HostConnection::Kind::Other) {
        if (message.size() == 1 && message[0] == IDENTITY_REQUEST) {
            bool firstRequest = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                firstRequest = ++m_counters.identityRequests == 1;
            }
            // Before the reply, which the host waits for.
            if (firstRequest && m_options.unplugAfterImages == 0) {
                connection.unplugWhenEnded = true;
                CloseHostListener();
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_options.reply) {
                    m_replies.push_back(PendingReply{GetTickCount64() + m_options.replyDelayMs});
                    SetEvent(m_replyReady.Get());
                }
            }
            m_recorder.Log("\"event\":\"identity_request\",\"conn\":" + std::to_string(connection.id));
        }
        return Next::Read;
    }
    if (!inOrder) {
        m_recorder.Log("\"event\":\"order_wait_timeout\",\"conn\":" + std::to_string(connection.id));
    }
    if (imageIndex != 0) {
        connection.image = m_recorder.BeginImage(imageIndex, connection.id);
        if (static_cast<std::int64_t>(imageIndex) == m_options.unplugAfterImages) {
            connection.unplugWhenEnded = true;
            CloseHostListener();
        }
    }
    const std::size_t payload = connection.image->AddWrite(message.data(), message.size());
    std::uint64_t total = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_counters.payloadBytes += payload;
        total = m_counters.payloadBytes;
    }
    if (m_options.unplugInImage >= 0 && imageIndex != 0 &&
        static_cast<std::int64_t>(imageIndex) == m_options.unplugInImage) {
        RequestAutoUnplug("--unplug-in-image");
        return Next::Hold;
    }
    if (m_options.unplugAfterBytes >= 0 && total >= static_cast<std::uint64_t>(m_options.unplugAfterBytes)) {
        RequestAutoUnplug("--unplug-after-bytes");
        return Next::Hold;
    }
    if (m_options.stallAfterBytes >= 0 && total >= static_cast<std::uint64_t>(m_options.stallAfterBytes)) {
        m_recorder.Log("\"event\":\"stall\",\"conn\":" + std::to_string(connection.id));
        return Next::Hold;
    }
    if (m_options.failWritesAfter >= 0 &&
        connection.image->PayloadBytes() >= static_cast<std::uint64_t>(m_options.failWritesAfter)) {
        return Next::Break;
    }
    return Next::Read;
}

void Device::ServeHostToDevice(UniqueHandle pipe, unsigned id) {
    HostConnection connection;
    connection.id = id;
    connection.event = NewEvent(true, false);
    connection.buffer.resize(64 * 1024);
    const char* how = "unplugged";
    Next next = Next::Read;
    while (next == Next::Read) {
        const Io result = ReadMessage(pipe.Get(), connection);
        if (result == Io::Stopped) {
            break;
        }
        if (result == Io::Failed) {
            how = "closed by host";
            break;
        }
        next = OnHostWrite(connection);
    }
    if (next == Next::Hold) {
        StopRequested(INFINITE); // stalled, or waiting for the unplug it asked for
    } else if (next == Next::Break) {
        how = "broken by --fail-writes-after";
    }
    // Disconnecting (rather than only closing) makes a pending host write fail at once. It comes before the
    // image is counted, so that whoever sees the count also sees the host's next write fail.
    DisconnectNamedPipe(pipe.Get());
    pipe.Reset();
    const bool complete = std::string(how) == "closed by host";
    if (connection.image) {
        // Recorded before it is counted: a test that waits for the count then reads the whole image.
        connection.image->Finish(complete);
        std::lock_guard<std::mutex> lock(m_mutex);
        ++(complete ? m_counters.imagesCompleted : m_counters.imagesBroken);
    }
    ConnectionClosed(tandry::HOST_TO_DEVICE, id, how);
    if (connection.unplugWhenEnded) {
        RequestAutoUnplug("--unplug-after-images");
    }
}

std::vector<std::uint8_t> Device::ReplyBytes() const {
    std::vector<std::uint8_t> reply(1 + sizeof REPLY_TAIL - 1);
    reply[0] = m_identityByte.load();
    std::memcpy(reply.data() + 1, REPLY_TAIL, sizeof REPLY_TAIL - 1);
    reply.resize(m_options.replySize);
    return reply;
}

// Writes one identity reply; it waits in the pipe for the host's next read. Returns false when the connection
// is gone or the device was unplugged, so that the reply can go to the next connection.
bool Device::SendReply(HANDLE pipe, unsigned id) {
    const std::vector<std::uint8_t> reply = ReplyBytes();
    UniqueHandle event = NewEvent(true, false);
    OVERLAPPED ov{};
    ov.hEvent = event.Get();
    DWORD bytes = 0;
    const BOOL started = WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), nullptr, &ov);
    if (Settle(pipe, ov, started, bytes) != Io::Done) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_counters.repliesSent;
    }
    m_recorder.Log("\"event\":\"reply\",\"pipe\":\"PIPE01\",\"conn\":" + std::to_string(id) +
                   ",\"size\":" + std::to_string(reply.size()) + ",\"head\":\"" + HeadHex(reply) + "\"");
    return true;
}

void Device::ServeDeviceToHost(UniqueHandle pipe, unsigned id) {
    // A read stays posted all the time: it completes when the host closes its handle (or writes, which is
    // logged).
    UniqueHandle readEvent = NewEvent(true, false);
    std::vector<std::uint8_t> buffer(SMALL_BUFFER);
    OVERLAPPED readOv{};
    const auto postRead = [&]() {
        readOv = OVERLAPPED{};
        readOv.hEvent = readEvent.Get();
        ResetEvent(readEvent.Get());
        const BOOL started =
            ReadFile(pipe.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, &readOv);
        const DWORD error = started ? 0 : GetLastError();
        return started || error == ERROR_IO_PENDING || error == ERROR_MORE_DATA;
    };
    const char* how = "unplugged";
    bool readPending = postRead();
    if (!readPending) {
        how = "closed by host";
    }
    while (readPending) {
        bool sendNow = false;
        bool waitForReplies = false;
        DWORD timeout = INFINITE;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const unsigned long long now = GetTickCount64();
            if (m_replies.empty()) {
                ResetEvent(m_replyReady.Get());
                waitForReplies = true;
            } else if (m_replies.front().dueTick <= now) {
                m_replies.pop_front();
                sendNow = true;
            } else {
                timeout = static_cast<DWORD>(m_replies.front().dueTick - now);
            }
        }
        if (sendNow) {
            if (!SendReply(pipe.Get(), id)) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_replies.push_front(PendingReply{0});
                SetEvent(m_replyReady.Get());
                if (StopRequested()) {
                    break;
                }
            }
            continue;
        }
        HANDLE waits[] = {readEvent.Get(), m_stop.Get(), m_replyReady.Get()};
        const DWORD woke = WaitForMultipleObjects(waitForReplies ? 3 : 2, waits, FALSE, timeout);
        if (woke == WAIT_OBJECT_0 + 1) {
            break;
        }
        if (woke == WAIT_OBJECT_0) {
            DWORD bytes = 0;
            const BOOL ok = GetOverlappedResult(pipe.Get(), &readOv, &bytes, FALSE);
            if (!ok && GetLastError() != ERROR_MORE_DATA) {
                readPending = false;
                how = "closed by host";
                break;
            }
            m_recorder.Log("\"event\":\"write\",\"pipe\":\"PIPE01\",\"conn\":" + std::to_string(id) +
                           ",\"size\":" + std::to_string(bytes) + ",\"head\":\"" +
                           Sha256::Hex(buffer.data(), std::min<DWORD>(bytes, 8)) + "\"");
            readPending = postRead();
            if (!readPending) {
                how = "closed by host";
            }
        }
    }
    if (readPending) {
        CancelIo(pipe.Get());
        DWORD bytes = 0;
        GetOverlappedResult(pipe.Get(), &readOv, &bytes, TRUE);
    }
    DisconnectNamedPipe(pipe.Get());
    pipe.Reset();
    ConnectionClosed(tandry::DEVICE_TO_HOST, id, how);
}

} // namespace ostrelsim
