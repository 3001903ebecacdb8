#include "link/IdentityProbe.h"

#include "framework/OwnedThread.h"
#include "link/DeviceLink.h"
#include "link/PipeIo.h"
#include "link/ProbeState.h"
#include "system/TimerResolution.h"

namespace {

constexpr unsigned DELAY_OUTER_PASSES = 800;
constexpr unsigned DELAY_MIDDLE_PASSES = 900;
constexpr unsigned DELAY_INNER_PASSES = 900;

// A read that did not complete is followed by another while the count of such reads, taken before it is
// raised, is at most this: IDENTITY_MAX_READS reads in all.
constexpr DWORD READ_COUNTER_LIMIT = 3000;
static_assert(READ_COUNTER_LIMIT + 2 == IDENTITY_MAX_READS, "read budget");

} // namespace

void ReadIdentityReply(HANDLE pipe, PipeSys& sys) {
    DWORD failedCalls = 0;
    while (!g_bProbeStopRequested.load()) {
        const PipeResult result = ReadPipeBounded(pipe, g_abProbeReply, IDENTITY_REPLY_SIZE,
                                                  PROBE_REPLY_POLLS, &g_bProbeStopRequested, sys);
        if (result == PipeResult::Stopped)
            return;
        if (IsCompleted(result)) {
            if (g_abProbeReply[0] == IDENTITY_REPLY_MARK && !g_bProbeStopRequested.load())
                g_bDeviceIdentified.store(1);
            return;
        }
        if (failedCalls++ > READ_COUNTER_LIMIT)
            return;
    }
}

UINT IdentityProbeThread(LPVOID /*pParam*/) {
    ScopedTimerResolution resolution;
    // Declared in this order so that the pipe is closed before the library is freed.
    LinkLibrary library = LinkLibrary::Load();
    UniqueHandle pipe = library.OpenFile(g_szPipeFromDevice);
    // Without a pipe every read would fail at once and leave the flag clear: skip them.
    if (pipe.IsValid())
        ReadIdentityReply(pipe.Get());
    return 1;
}

void ProbeBusyDelay() {
    for (unsigned i = 0; i < DELAY_OUTER_PASSES; ++i)
        for (unsigned j = 0; j < DELAY_MIDDLE_PASSES; ++j)
            for (unsigned k = 0; k < DELAY_INNER_PASSES; ++k)
                // An empty statement the compiler must keep and may not merge: every pass really runs.
                __asm__ __volatile__("" : "+r"(k));
}

bool ProbeDeviceIdentity(HANDLE pipeToDevice, LPVOID pThreadParam, ProbeDelayFn delay) {
    const ULONGLONG begin = ::GetTickCount64();
    {
        ScopedTimerResolution resolution;
        const BYTE request = IDENTITY_REQUEST;
        WritePipeOnce(pipeToDevice, &request, sizeof(request), IDENTITY_REQUEST_POLLS);
    }

    g_bProbeStopRequested.store(false);
    const auto worker = StartOwnedThread(IdentityProbeThread, pThreadParam);

    delay();

    // The spin's length depends on the machine: on a busy one it can end before the worker, the device and
    // the system have had the few milliseconds a reply needs, and a genuine device would be turned away. A
    // worker still reading gets the rest of IDENTITY_MIN_WAIT_MS from the request on; it ends at once when a
    // reply comes.
    const ULONGLONG elapsed = ::GetTickCount64() - begin;
    if (worker && elapsed < IDENTITY_MIN_WAIT_MS)
        ::WaitForSingleObject(worker->m_hThread, static_cast<DWORD>(IDENTITY_MIN_WAIT_MS - elapsed));

    g_bProbeStopRequested.store(true);
    if (worker)
        ::WaitForSingleObject(worker->m_hThread, INFINITE);
    return g_bDeviceIdentified.load() != 0;
}
