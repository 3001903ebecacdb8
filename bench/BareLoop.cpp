#include "bench/BareLoop.h"

#include "engine/ImageFormat.h"
#include "link/DeviceLink.h"
#include "system/TimerResolution.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Starts one write and polls it to its end; false when it fails.
bool WriteAndPoll(HANDLE pipe, const BYTE* data, DWORD length) {
    OVERLAPPED ov{};
    DWORD moved = 0;
    if (::WriteFile(pipe, data, length, &moved, &ov))
        return true;
    if (::GetLastError() != ERROR_IO_PENDING)
        return false;
    while (!::GetOverlappedResult(pipe, &ov, &moved, FALSE)) {
        if (::GetLastError() != ERROR_IO_INCOMPLETE)
            return false;
        ::Sleep(1);
    }
    return true;
}

} // namespace

TransferFigures RunBareLoop(std::uint32_t imageSize) {
    TransferFigures figures;
    BYTE* image = MakeBenchImage(imageSize);
    LinkOpenResult pipe = OpenPipeOnce(g_szPipeToDevice);
    if (!image || !pipe.handle.IsValid()) {
        std::free(image);
        return figures;
    }
    ScopedTimerResolution resolution;
    const double begin = SecondsNow();
    bool ok = WriteAndPoll(pipe.handle.Get(), image, IMAGE_COMMAND_SIZE);
    for (std::uint32_t sent = IMAGE_HEADER_SIZE; ok && sent < imageSize;) {
        const std::uint32_t chunk = std::min(imageSize - sent, IMAGE_CHUNK_SIZE);
        ok = WriteAndPoll(pipe.handle.Get(), image + sent, chunk);
        sent += chunk;
    }
    figures.seconds = SecondsNow() - begin;
    figures.ok = ok;
    figures.bytes = IMAGE_COMMAND_SIZE + (imageSize - IMAGE_HEADER_SIZE);
    ReadPeakMemory(figures);
    std::free(image);
    return figures;
}
