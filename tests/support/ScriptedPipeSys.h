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
    static constexpr DWORD ALL = 0xFFFFFFFF; // every byte asked for
    DWORD moved = ALL;                       // bytes the operation reports when it ends (all, part or none)
    DWORD error = ERROR_ACCESS_DENIED;
};

class ScriptedPipeSys final : public PipeSys {
public:
    explicit ScriptedPipeSys(std::vector<ScriptedOp> script) : m_script(std::move(script)) {}

    BOOL WriteFile(HANDLE, const void* data, DWORD length, DWORD* moved, OVERLAPPED* ov) override {
        return Start(data, length, moved, ov);
    }
    BOOL ReadFile(HANDLE, void* data, DWORD length, DWORD* moved, OVERLAPPED* ov) override {
        return Start(data, length, moved, ov);
    }

    BOOL GetOverlappedResult(HANDLE, OVERLAPPED* ov, DWORD* moved, BOOL wait) override {
        if (ov != m_record)
            ++m_violations;
        if (wait) {
            ++m_blockingWaits;
            if (!m_inFlight) {
                ++m_violations; // would hang on a real handle
                return FALSE;
            }
            m_inFlight = false;
            const ScriptedOp& op = Current();
            const bool completed =
                m_cancelled ? op.afterCancel == ScriptedOp::AfterCancel::CompletedAfterAll : true;
            *moved = completed || op.afterCancel == ScriptedOp::AfterCancel::MovedPart ? Moved() : 0;
            if (completed)
                return TRUE;
            ::SetLastError(ERROR_OPERATION_ABORTED);
            return FALSE;
        }
        ++m_polls;
        ++m_pollsOfOp;
        if (m_stopFlag && m_raiseStopAtPoll == m_polls)
            m_stopFlag->store(true);
        if (m_inFlight && !m_cancelled && Current().completeAtPoll == m_pollsOfOp) {
            m_inFlight = false;
            *moved = Moved();
            return TRUE;
        }
        ::SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }

    BOOL CancelIo(HANDLE) override {
        ++m_cancels;
        m_cancelled = true;
        if (m_stopFlag && m_raiseStopAtCancel)
            m_stopFlag->store(true);
        return TRUE;
    }

    void Sleep(DWORD ms) override {
        ++m_sleeps;
        if (m_realSleep)
            ::Sleep(ms);
    }

    bool InFlight() const { return m_inFlight; }

    int m_starts = 0;
    int m_polls = 0;
    int m_sleeps = 0;
    int m_cancels = 0;
    int m_blockingWaits = 0;
    int m_violations = 0;
    bool m_recordZeroedAtFirstStart = false;
    std::vector<const void*> m_buffers;
    std::vector<DWORD> m_lengths; // asked for, per started operation
    bool m_realSleep = false;
    // The caller's stop flag, raised by the poll with this 1-based number or by the first cancel request.
    std::atomic<bool>* m_stopFlag = nullptr;
    int m_raiseStopAtPoll = 0;
    bool m_raiseStopAtCancel = false;

private:
    const ScriptedOp& Current() const { return m_script.at(static_cast<std::size_t>(m_starts - 1)); }
    DWORD Moved() const { return Current().moved == ScriptedOp::ALL ? m_lengths.back() : Current().moved; }

    BOOL Start(const void* data, DWORD length, DWORD* moved, OVERLAPPED* ov) {
        if (m_inFlight)
            ++m_violations; // the record is still the system's
        if (m_starts == 0) {
            const OVERLAPPED zero{};
            m_recordZeroedAtFirstStart = std::memcmp(ov, &zero, sizeof(zero)) == 0;
        } else if (ov != m_record) {
            ++m_violations;
        }
        ++m_starts;
        m_record = ov;
        m_buffers.push_back(data);
        m_lengths.push_back(length);
        m_pollsOfOp = 0;
        m_cancelled = false;
        const ScriptedOp& op = Current();
        switch (op.start) {
        case ScriptedOp::Start::Succeeds:
            *moved = Moved();
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
