#pragma once

#include "link/PipeSys.h"

#include <atomic>

// Outcome of one bounded pipe call. Only Completed means the operation took place; the other values tell the
// caller whether calling again is safe.
enum class PipeResult {
    Completed, // the operation finished (a read may have moved fewer bytes than asked for)
    TimedOut,  // both attempts timed out and were cancelled before moving anything: safe to call again
    Failed, // an attempt failed at once with an error other than ERROR_IO_PENDING: calling again is pointless
    Partial, // a cancelled operation had moved part of its bytes: sending them again would duplicate data
    Stopped, // the caller's stop flag was raised; the operation was cancelled
};

inline bool IsCompleted(PipeResult r) {
    return r == PipeResult::Completed;
}

// Poll limits of the three uses.
constexpr DWORD IMAGE_COMMAND_POLLS = 1000;
constexpr DWORD IMAGE_CHUNK_POLLS = 2000;
constexpr DWORD PROBE_REPLY_POLLS = 1000;

// Writes `length` bytes with an overlapped record; if the write goes pending, polls GetOverlappedResult up to
// `pollLimit` times with a 1 ms sleep after each unsuccessful poll; on a time-out cancels it and tries once
// more with the same wait. After each cancel the operation's final result is collected before the record or
// the buffer is used again, so a write that completed after all is never sent twice. Blocks the calling
// thread; call it from a worker, which also does every cancel (CancelIo only reaches the calling thread's
// I/O).
// When `stop` is given and becomes true, the write is cancelled and collected as for a read (below) and the
// call returns Stopped; once it is true no write is started at all.
// `moved`, when given, receives the bytes the system says the write moved: on Completed it may be fewer than
// `length` (a short completion), on Partial it is the part that went before the cancel, else 0.
PipeResult WritePipeBounded(HANDLE pipe, const void* data, DWORD length, DWORD pollLimit,
                            PipeSys& sys = RealPipeSys(), const std::atomic<bool>* stop = nullptr,
                            DWORD* moved = nullptr);

// The same pattern for reading up to `length` bytes. When `stop` is given and becomes true, the wait ends at
// the next poll, the read is cancelled and collected, and the call returns Stopped without retrying; once it
// is true no read is started at all.
PipeResult ReadPipeBounded(HANDLE pipe, void* data, DWORD length, DWORD pollLimit,
                           const std::atomic<bool>* stop = nullptr, PipeSys& sys = RealPipeSys());

// One overlapped write with one bounded wait and no retry; the record is collected after a cancel as above.
// For single messages written outside the workers (the identity request).
PipeResult WritePipeOnce(HANDLE pipe, const void* data, DWORD length, DWORD pollLimit,
                         PipeSys& sys = RealPipeSys());
