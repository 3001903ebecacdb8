#include "link/PipeIo.h"

namespace {

enum class Attempt { Completed, FailedAtOnce, TimedOut, Partial, Stopped };

// One call's state: the record and the transfer count are shared by its attempts.
class BoundedTransfer {
public:
    BoundedTransfer(PipeSys& sys, HANDLE pipe, void* data, DWORD length, bool write,
                    const std::atomic<bool>* stop)
        : m_sys(sys), m_pipe(pipe), m_data(data), m_length(length), m_write(write), m_stop(stop) {
        ZeroMemory(&m_ov, sizeof(m_ov));
    }

    Attempt Run(DWORD pollLimit) {
        m_moved = 0;
        // A caller that has stopped listening gets no new operation: a read started now could still take the
        // device's reply, which nobody would then look at (the retry after a time-out included).
        if (StopRequested())
            return Attempt::Stopped;
        if (Start())
            return Attempt::Completed;
        if (::GetLastError() != ERROR_IO_PENDING)
            return Attempt::FailedAtOnce; // nothing is in flight: no wait, no cancel
        const WaitEnd end = Wait(pollLimit);
        if (end == WaitEnd::Completed)
            return Attempt::Completed;
        m_sys.CancelIo(m_pipe);
        return Collect(end == WaitEnd::Stopped);
    }

    // What the system says the last attempt moved.
    DWORD Moved() const { return m_moved; }

private:
    BOOL Start() {
        return m_write ? m_sys.WriteFile(m_pipe, m_data, m_length, &m_moved, &m_ov)
                       : m_sys.ReadFile(m_pipe, m_data, m_length, &m_moved, &m_ov);
    }

    enum class WaitEnd { Completed, TimedOut, Stopped };

    bool StopRequested() const { return m_stop && m_stop->load(); }

    WaitEnd Wait(DWORD pollLimit) {
        for (DWORD poll = 0; poll < pollLimit; ++poll) {
            if (StopRequested())
                return WaitEnd::Stopped;
            if (m_sys.GetOverlappedResult(m_pipe, &m_ov, &m_moved, FALSE))
                return WaitEnd::Completed;
            // A failure that the poll reports is treated like an operation still under way.
            m_sys.Sleep(1);
        }
        return WaitEnd::TimedOut;
    }

    // After a cancel the operation may still have finished, or moved part of its bytes, before the cancel
    // took hold. Waiting for its final result here is safe (it was started and went pending, and the cancel
    // ends it promptly) and is required: the record and the buffer belong to the system until it has ended.
    Attempt Collect(bool stopped) {
        m_moved = 0;
        if (m_sys.GetOverlappedResult(m_pipe, &m_ov, &m_moved, TRUE))
            return Attempt::Completed;
        if (m_moved != 0)
            return Attempt::Partial;
        return stopped ? Attempt::Stopped : Attempt::TimedOut;
    }

    PipeSys& m_sys;
    HANDLE m_pipe;
    void* m_data;
    DWORD m_length;
    bool m_write;
    const std::atomic<bool>* m_stop;
    OVERLAPPED m_ov;
    DWORD m_moved = 0;
};

PipeResult ToResult(Attempt a) {
    switch (a) {
    case Attempt::Completed:
        return PipeResult::Completed;
    case Attempt::FailedAtOnce:
        return PipeResult::Failed;
    case Attempt::Partial:
        return PipeResult::Partial;
    case Attempt::Stopped:
        return PipeResult::Stopped;
    case Attempt::TimedOut:
        break;
    }
    return PipeResult::TimedOut;
}

PipeResult RunWithOneRetry(BoundedTransfer& transfer, DWORD pollLimit) {
    const Attempt first = transfer.Run(pollLimit);
    if (first != Attempt::TimedOut)
        return ToResult(first);
    return ToResult(transfer.Run(pollLimit));
}

} // namespace

PipeResult WritePipeBounded(HANDLE pipe, const void* data, DWORD length, DWORD pollLimit, PipeSys& sys,
                            const std::atomic<bool>* stop, DWORD* moved) {
    BoundedTransfer transfer(sys, pipe, const_cast<void*>(data), length, true, stop);
    const PipeResult result = RunWithOneRetry(transfer, pollLimit);
    if (moved)
        *moved = result == PipeResult::Completed || result == PipeResult::Partial ? transfer.Moved() : 0;
    return result;
}

PipeResult ReadPipeBounded(HANDLE pipe, void* data, DWORD length, DWORD pollLimit,
                           const std::atomic<bool>* stop, PipeSys& sys) {
    BoundedTransfer transfer(sys, pipe, data, length, false, stop);
    return RunWithOneRetry(transfer, pollLimit);
}

PipeResult WritePipeOnce(HANDLE pipe, const void* data, DWORD length, DWORD pollLimit, PipeSys& sys) {
    BoundedTransfer transfer(sys, pipe, const_cast<void*>(data), length, true, nullptr);
    return ToResult(transfer.Run(pollLimit));
}
