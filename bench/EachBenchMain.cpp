// The service bench of NimbrelCli.exe (--each) on the virtual device: devices per minute, and the time the
// loop itself adds per device, set against single NimbrelCli runs on the same device with the same images.
//
//   NimbrelEachBench.exe IMAGES_DIR [--devices N]
//
// The loop: one NimbrelCli --each --count N; the bench plugs the device in, waits for "Remove the device.",
// unplugs it, waits until the program waits for the next, and so on, as an operator without hesitation would.
// The single runs: N runs of NimbrelCli on a device that stays plugged in. The times of the first and the
// last image byte come from the device's log (its wall clock, the same as the bench's); the times of the
// program's lines are those at which they arrived through the pipe.
#include "bench/CliLines.h"
#include "bench/Figures.h"
#include "tests/support/VirtualDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD STEP_MS = 120000;

struct Write {
    std::int64_t ms;
    unsigned size;
};

// "time":"2026-12-08T14:07:10.966Z" as milliseconds of the UTC day.
std::int64_t LogMs(const std::string& line) {
    const std::size_t t = line.find("\"time\":\"");
    if (t == std::string::npos)
        return -1;
    const std::string clock = line.substr(line.find('T', t + 8) + 1, 12); // HH:MM:SS.mmm
    return ((std::atoll(clock.substr(0, 2).c_str()) * 60 + std::atoll(clock.substr(3, 2).c_str())) * 60 +
            std::atoll(clock.substr(6, 2).c_str())) *
               1000 +
           std::atoll(clock.substr(9, 3).c_str());
}

// Every host write on the device's data pipe.
std::vector<Write> DataWrites(const VirtualDevice& device) {
    std::vector<Write> writes;
    for (const std::string& line : device.LogLines()) {
        if (line.find("\"event\":\"write\"") == std::string::npos ||
            line.find("\"PIPE00\"") == std::string::npos)
            continue;
        const std::size_t size = line.find("\"size\":");
        writes.push_back({LogMs(line), static_cast<unsigned>(std::atoi(line.c_str() + size + 7))});
    }
    return writes;
}

// The first image byte (the first write larger than the one-byte identity request) and the last write in
// [from, to).
bool ImageSpan(const std::vector<Write>& writes, std::int64_t from, std::int64_t to, std::int64_t& first,
               std::int64_t& last) {
    first = last = -1;
    for (const Write& write : writes) {
        if (write.ms < from || write.ms >= to)
            continue;
        if (first < 0 && write.size > 1)
            first = write.ms;
        last = write.ms;
    }
    return first >= 0;
}

// Until the device has read every write the host made and closed every connection.
void AllRead(VirtualDevice& device) {
    device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, STEP_MS);
}

int Fail(const char* what) {
    std::fprintf(stderr, "NimbrelEachBench: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Fail("usage: NimbrelEachBench.exe IMAGES_DIR [--devices N]");
    const std::string images = argv[1];
    const unsigned devices = argc >= 4 && std::string(argv[2]) == "--devices" ? std::atoi(argv[3]) : 10;
    if (devices < 1)
        return Fail("--devices takes a number from 1");

    // The loop.
    Figures plugToFirst, sending, lastToRemove, removalNoticed;
    std::int64_t firstPlug = 0, lastRemove = 0;
    {
        VirtualDevice device({"--absent"});
        CliLines cli;
        std::int64_t started = 0;
        if (!device.Running() ||
            !cli.Start("--each --count " + std::to_string(devices) + " --dir \"" + images + "\"", started))
            return Fail("the device or NimbrelCli did not start");
        if (cli.WaitFor("Waiting for device 1...", 1, STEP_MS) < 0)
            return Fail("NimbrelCli --each did not wait for the first device");
        std::vector<std::int64_t> plugs, removes, unplugs;
        for (unsigned n = 1; n <= devices; ++n) {
            plugs.push_back(CliLines::NowMs());
            device.Plug();
            removes.push_back(cli.WaitFor("Remove the device.", n, STEP_MS));
            if (removes.back() < 0)
                return Fail("a device was not done in time");
            // The host's last writes may still wait in the pipe's buffer: the device reads them before it
            // goes.
            AllRead(device);
            unplugs.push_back(CliLines::NowMs());
            device.Unplug();
            if (n < devices)
                removalNoticed.Add(
                    cli.WaitFor("Waiting for device " + std::to_string(n + 1) + "...", 1, STEP_MS) -
                    unplugs.back());
        }
        std::int64_t ended = 0;
        if (cli.Finish(ended) != 0)
            return Fail("NimbrelCli --each did not end with 0");
        const auto writes = DataWrites(device);
        for (unsigned i = 0; i < devices; ++i) {
            std::int64_t first = 0, last = 0;
            if (!ImageSpan(writes, plugs[i], unplugs[i] + 1, first, last))
                return Fail("a device received no image");
            plugToFirst.Add(first - plugs[i]);
            sending.Add(last - first);
            lastToRemove.Add(removes[i] - last);
        }
        firstPlug = plugs.front();
        lastRemove = removes.back();
    }

    // Single runs on a device that stays plugged in.
    Figures startToFirst, singleSending, lastToFinished, lastToExit, wholeRun;
    {
        VirtualDevice device;
        std::vector<std::int64_t> starts, finished, ends;
        for (unsigned n = 0; n < devices; ++n) {
            CliLines cli;
            std::int64_t started = 0, ended = 0;
            if (!cli.Start("--dir \"" + images + "\"", started) || cli.Finish(ended) != 0)
                return Fail("a single NimbrelCli run failed");
            AllRead(device); // so that no write of this run is logged in the next one's time
            starts.push_back(started);
            ends.push_back(ended);
            finished.push_back(cli.WaitFor("Update finished", 1, 0));
        }
        const auto writes = DataWrites(device);
        for (unsigned i = 0; i < devices; ++i) {
            std::int64_t first = 0, last = 0;
            if (!ImageSpan(writes, starts[i], ends[i] + 1, first, last))
                return Fail("a single run sent no image");
            startToFirst.Add(first - starts[i]);
            singleSending.Add(last - first);
            lastToFinished.Add(finished[i] - last);
            lastToExit.Add(ends[i] - last);
            wholeRun.Add(ends[i] - starts[i]);
        }
    }

    const double minutes = static_cast<double>(lastRemove - firstPlug) / 60000.0;
    std::printf("NimbrelCli --each, %u devices, the images of %s (median, min to max per device)\n", devices,
                images.c_str());
    std::printf("  devices per minute (first plug-in to the last \"Remove the device.\"): %.1f\n",
                devices / minutes);
    std::printf("  plug-in -> first image byte          %s\n", plugToFirst.Text().c_str());
    std::printf("  first -> last image byte             %s\n", sending.Text().c_str());
    std::printf("  last byte -> \"Remove the device.\"    %s\n", lastToRemove.Text().c_str());
    std::printf("  unplug -> waiting for the next       %s\n", removalNoticed.Text().c_str());
    std::printf("Single NimbrelCli runs, %u on one device left plugged in\n", devices);
    std::printf("  start -> first image byte            %s\n", startToFirst.Text().c_str());
    std::printf("  first -> last image byte             %s\n", singleSending.Text().c_str());
    std::printf("  last byte -> \"Update finished\"       %s\n", lastToFinished.Text().c_str());
    std::printf("  last byte -> program ended           %s\n", lastToExit.Text().c_str());
    std::printf("  whole run (start -> end)             %s\n", wholeRun.Text().c_str());
    return 0;
}
