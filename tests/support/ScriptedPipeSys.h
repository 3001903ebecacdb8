// A stand-in for the pipe system calls that plays a script, one entry per started operation, and checks the
// rules the bounded calls must keep: a started operation's record and buffer are not reused, and the call
// does not return, before its final result has been seen; no blocking wait on an operation that never went
// pending.
#pragma once

#include "link/PipeSys.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

struct ScriptedOp {
    enum class Start { Succeeds, FailsAtOnce, Pends };
    enum class AfterCancel { Aborted, CompletedAfterAll, MovedPart };

    Start start = Start::Pends;
    DWORD completeAtPoll = 0; // 1-based poll that reports completion; 0 = never while polled
    AfterCancel afterCancel = AfterCancel::Aborted;
    DWORD moved = 0; // bytes the operation reports when it ends (all, part or none)
    DWORD error = ERROR_ACCESS_DENIED;
};

class ScriptedPipeSys final : public PipeSys {
public:
    explicit ScriptedPipeSys(std::vector<ScriptedOp> script) : m_script(std::move(script)) {}

    BOOL WriteFile(HANDLE, const void* data, DWORD, DWORD* moved, OVERLAPPED* ov) override {
        return Start(data, moved, ov);
    }
    BOOL ReadFile(HANDLE, void* data, DWORD, DWORD* moved, OVERLAPPED* ov) override {
        return Start(data, moved, ov);
    }

    BOOL GetOverlappedResult(HANDLE, OVERLAPPED* ov, DWORD* moved, BOOL wait) override {
        if (ov != m_record)
            ++violations;
        if (wait) {
            ++blockingWaits;
            if (!m_inFlight) {
                ++violations; // would hang on a real handle
                return FALSE;
            }
            m_inFlight = false;
            const ScriptedOp& op = Current();
            const bool completed =
                m_cancelled ? op.afterCancel == ScriptedOp::AfterCancel::CompletedAfterAll : true;
            *moved = completed || op.afterCancel == ScriptedOp::AfterCancel::MovedPart ? op.moved : 0;
            if (completed)
                return TRUE;
            ::SetLastError(ERROR_OPERATION_ABORTED);
            return FALSE;
        }
        ++polls;
        ++m_pollsOfOp;
        if (stopFlag && raiseStopAtPoll == polls)
            stopFlag->store(true);
        if (m_inFlight && !m_cancelled && Current().completeAtPoll == m_pollsOfOp) {
            m_inFlight = false;
            *moved = Current().moved;
            return TRUE;
        }
        ::SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }

    BOOL CancelIo(HANDLE) override {
        ++cancels;
        m_cancelled = true;
        if (stopFlag && raiseStopAtCancel)
            stopFlag->store(true);
        return TRUE;
    }

    void Sleep(DWORD ms) override {
        ++sleeps;
        if (realSleep)
            ::Sleep(ms);
    }

    bool InFlight() const { return m_inFlight; }

    int starts = 0;
    int polls = 0;
    int sleeps = 0;
    int cancels = 0;
    int blockingWaits = 0;
    int violations = 0;
    bool recordZeroedAtFirstStart = false;
    std::vector<const void*> buffers;
    bool realSleep = false;
    // The caller's stop flag, raised by the poll with this 1-based number or by the first cancel request.
    std::atomic<bool>* stopFlag = nullptr;
    int raiseStopAtPoll = 0;
    bool raiseStopAtCancel = false;

private:
    const ScriptedOp& Current() const { return m_script.at(static_cast<std::size_t>(starts - 1)); }

    BOOL Start(const void* data, DWORD* moved, OVERLAPPED* ov) {
        if (m_inFlight)
            ++violations; // the record is still the system's
        if (starts == 0) {
            const OVERLAPPED zero{};
            recordZeroedAtFirstStart = std::memcmp(ov, &zero, sizeof(zero)) == 0;
        } else if (ov != m_record) {
            ++violations;
        }
        ++starts;
        m_record = ov;
        buffers.push_back(data);
        m_pollsOfOp = 0;
        m_cancelled = false;
        const ScriptedOp& op = Current();
        switch (op.start) {
        case ScriptedOp::Start::Succeeds:
            *moved = op.moved;
            return TRUE;
        case ScriptedOp::Start::FailsAtOnce:
            ::SetLastError(op.error);
            return FALSE;
        case ScriptedOp::Start::Pends:
            break;
        }
        m_inFlight = true;
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }

    std::vector<ScriptedOp> m_script;
    OVERLAPPED* m_record = nullptr;
    DWORD m_pollsOfOp = 0;
    bool m_inFlight = false;
    bool m_cancelled = false;
};
