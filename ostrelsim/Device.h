// The virtual device's pipes: presence, PIPE00 (host to device) and PIPE01 (device to host), served while the
// device is plugged in. Plug() and Unplug() are called from one thread only (the control loop); everything
// else runs on the device's own threads, one per listening pipe and one per open connection.
#pragma once

#include "ostrelsim/Counters.h"
#include "ostrelsim/Options.h"
#include "ostrelsim/Recorder.h"
#include "system/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ostrelsim {

// The answer to the "status" command: every counter as one JSON object.
std::string ToJson(const Counters& counters);

class Device {
public:
    Device(const Options& options, Recorder& recorder, std::string prefix);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    void Plug();
    // Breaks every open connection (pending host I/O fails) and removes every pipe instance before returning.
    void Unplug(const char* reason);
    // Signalled when a misbehaviour option asks for an unplug; the control loop then calls Unplug().
    HANDLE AutoUnplugEvent() const { return m_autoUnplug.Get(); }
    Counters GetCounters() const;
    // The first byte of every identity reply from now on: another model plugged in next.
    void SetIdentityByte(std::uint8_t byte) { m_identityByte.store(byte); }

private:
    enum class Io { Done, MoreData, Failed, Stopped };
    enum class Next { Read, Hold, Break };
    struct PendingReply {
        unsigned long long dueTick;
    };
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    struct HostConnection; // state of one PIPE00 connection

    UniqueHandle CreateInstance(const char* name, DWORD inBuffer) const;
    Io Settle(HANDLE pipe, OVERLAPPED& ov, BOOL started, DWORD& bytes, HANDLE alsoStop = nullptr) const;
    bool WaitForClient(HANDLE pipe, bool& stopped, HANDLE alsoStop = nullptr) const;
    bool StopRequested(DWORD waitMs = 0) const;
    unsigned NewConnection(const char* pipe);
    void ConnectionClosed(const char* pipe, unsigned id, const char* how);
    void RequestAutoUnplug(const char* why);
    void CloseHostListener();
    std::vector<std::uint8_t> ReplyBytes() const;

    void PresenceLoop(UniqueHandle instance);
    void ListenLoop(const char* pipe, UniqueHandle instance);
    void ServeHostToDevice(UniqueHandle pipe, unsigned id);
    void ServeDeviceToHost(UniqueHandle pipe, unsigned id);
    Io ReadMessage(HANDLE pipe, HostConnection& connection);
    Next OnHostWrite(HostConnection& connection);
    bool SendReply(HANDLE pipe, unsigned id);

    template <typename F> void Spawn(F&& body);
    void JoinAll();

    const Options& m_options;
    Recorder& m_recorder;
    const std::string m_prefix;
    std::atomic<std::uint8_t> m_identityByte;
    UniqueHandle m_stop; // manual reset; set while unplugged
    // Manual reset; set at an unplug before m_stop: a host finds the device gone before its pipes break, as
    // on a real unplug, where both go at once.
    UniqueHandle m_stopPresence;
    UniqueHandle m_autoUnplug; // auto reset
    UniqueHandle m_replyReady; // manual reset; set while replies wait
    // --unplug-after-images: asks the PIPE00 listener to take no more connections, and its answer (both
    // manual reset).
    UniqueHandle m_closeHostListener;
    UniqueHandle m_hostListenerClosed;
    mutable std::mutex m_mutex;
    Counters m_counters;
    std::deque<PendingReply> m_replies;
    unsigned m_nextConnection = 0;
    std::set<unsigned>
        m_unclassifiedHostConnections; // PIPE00 connections whose first write has not been read
    std::condition_variable m_hostConnectionClassified;
    bool m_autoUnplugFired = false;
    std::vector<std::thread> m_listeners;
    std::mutex m_workersMutex;
    std::list<Worker> m_workers;
};

} // namespace ostrelsim
