// The virtual device's pipes: presence, PIPE00 (host to device) and PIPE01 (device to host), served while the
// device is plugged in. plug() and unplug() are called from one thread only (the control loop); everything
// else runs on the device's own threads, one per listening pipe and one per open connection.
#pragma once

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

struct Counters {
    bool plugged = false;
    unsigned presenceChecks = 0;
    unsigned pipe00Connections = 0;
    unsigned pipe01Connections = 0;
    unsigned openConnections = 0;
    unsigned writes = 0;
    unsigned identityRequests = 0;
    unsigned repliesSent = 0;
    unsigned imagesStarted = 0;
    unsigned imagesCompleted = 0;
    unsigned imagesBroken = 0;
    std::uint64_t payloadBytes = 0;
    unsigned plugs = 0;
    unsigned unplugs = 0;

    std::string toJson() const;
};

class Device {
public:
    Device(const Options& options, Recorder& recorder, std::string prefix);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    void plug();
    // Breaks every open connection (pending host I/O fails) and removes every pipe instance before returning.
    void unplug(const char* reason);
    // Signalled when a misbehaviour option asks for an unplug; the control loop then calls unplug().
    HANDLE autoUnplugEvent() const { return autoUnplug_.Get(); }
    Counters counters() const;
    // The first byte of every identity reply from now on: another model plugged in next.
    void setIdentityByte(std::uint8_t byte) { identityByte_.store(byte); }

private:
    enum class Io { Done, MoreData, Failed, Stopped, Again }; // Again: a read to start anew
    enum class Next { Read, Hold, Break };
    struct PendingReply {
        unsigned long long dueTick;
    };
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    struct HostConnection; // state of one PIPE00 connection

    UniqueHandle createInstance(const char* name, DWORD inBuffer) const;
    Io settle(HANDLE pipe, OVERLAPPED& ov, BOOL started, DWORD& bytes, HANDLE alsoStop = nullptr) const;
    // The same for a read of the host's writes, which also recovers a read whose completion never comes.
    Io settleRead(HANDLE pipe, OVERLAPPED& ov, BOOL started, DWORD& bytes, unsigned id) const;
    bool waitForClient(HANDLE pipe, bool& stopped, HANDLE alsoStop = nullptr) const;
    bool stopRequested(DWORD waitMs = 0) const;
    unsigned newConnection(const char* pipe);
    void connectionClosed(const char* pipe, unsigned id, const char* how);
    void requestAutoUnplug(const char* why);
    void CloseHostListener();
    std::vector<std::uint8_t> replyBytes() const;

    void presenceLoop(UniqueHandle instance);
    void listenLoop(const char* pipe, UniqueHandle instance);
    void serveHostToDevice(UniqueHandle pipe, unsigned id);
    void serveDeviceToHost(UniqueHandle pipe, unsigned id);
    Io readMessage(HANDLE pipe, HostConnection& connection);
    Next onHostWrite(HostConnection& connection);
    bool sendReply(HANDLE pipe, unsigned id);

    template <typename F> void spawn(F&& body);
    void joinAll();

    const Options& options_;
    Recorder& recorder_;
    const std::string prefix_;
    std::atomic<std::uint8_t> identityByte_;
    UniqueHandle stop_;       // manual reset; set while unplugged
    UniqueHandle autoUnplug_; // auto reset
    UniqueHandle replyReady_; // manual reset; set while replies wait
    // --unplug-after-images: asks the PIPE00 listener to take no more connections, and its answer (both
    // manual reset).
    UniqueHandle m_closeHostListener;
    UniqueHandle m_hostListenerClosed;
    mutable std::mutex mutex_;
    Counters counters_;
    std::deque<PendingReply> replies_;
    unsigned nextConnection_ = 0;
    std::set<unsigned> unclassifiedHostConnections_; // PIPE00 connections whose first write has not been read
    std::condition_variable hostConnectionClassified_;
    bool autoUnplugFired_ = false;
    std::vector<std::thread> listeners_;
    std::mutex workersMutex_;
    std::list<Worker> workers_;
};

} // namespace ostrelsim
