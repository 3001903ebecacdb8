#include "bench/BenchReport.h"

#include "engine/ImageFormat.h"

#include <psapi.h>

#include <chrono>
#include <cstdlib>

void ReadPeakMemory(TransferFigures& figures) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) {
        figures.peakWorkingSet = counters.PeakWorkingSetSize;
        figures.peakCommit = counters.PeakPagefileUsage;
    }
}

BYTE* MakeBenchImage(std::uint32_t size) {
    auto* image = static_cast<BYTE*>(std::malloc(size));
    if (!image)
        return nullptr;
    for (std::uint32_t i = 0; i < size; ++i)
        image[i] = static_cast<BYTE>(i ^ (i >> 11));
    image[0] = IMAGE_MARK;
    image[1] = 0x01;
    return image;
}

double SecondsNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
