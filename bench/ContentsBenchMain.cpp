// NimbrelContentsBench.exe: what the check of the images' contents costs an update. Four images of the same
// size go to the virtual device at full speed in single NimbrelCli runs, alternately without a SHA256SUMS and
// with one; it prints the time from the program's start to "Device connected." (the check comes before the
// device) and to its end, for both, and the check alone timed in this process.
#include "bench/CliLines.h"
#include "bench/Figures.h"
#include "engine/ImageContents.h"
#include "system/Paths.h"
#include "system/Sha256.h"
#include "tests/support/VirtualDevice.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_MS = 300000;

int Fail(const char* what) {
    std::fprintf(stderr, "NimbrelContentsBench: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    unsigned mib = 16, repeat = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--size-mib")
            mib = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else if (std::string(argv[i]) == "--repeat")
            repeat = static_cast<unsigned>(std::atoi(argv[i + 1]));
    }
    if (mib < 1 || repeat < 1)
        return Fail("usage: NimbrelContentsBench.exe [--size-mib N] [--repeat R]");

    const std::string folder = ProgramFolder() + "contents-bench";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::string list;
    for (int file = 0; file < IMAGE_FILE_COUNT; ++file) {
        std::string image(static_cast<std::size_t>(mib) * 1024 * 1024, '\0');
        for (std::size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>((i * 131 + i / 251 + file * 7) & 0xFF);
        image[0] = '%';
        image[1] = 1;
        std::ofstream(folder + "\\" + IMAGE_FILE_NAMES[file], std::ios::binary) << image;
        Sha256 hash;
        hash.Update(image.data(), image.size());
        list += ManifestLine(hash.FinishHex(), IMAGE_FILE_NAMES[file]);
    }
    const std::string listPath = folder + "\\" + MANIFEST_FILE_NAME;

    Figures toDevice[2], whole[2], checkAlone;
    VirtualDevice device;
    unsigned images = 0;
    for (unsigned r = 0; r < repeat; ++r) {
        for (int withList = 0; withList < 2; ++withList) {
            if (withList)
                std::ofstream(listPath, std::ios::binary) << list;
            else
                ::DeleteFileA(listPath.c_str());
            CliLines cli;
            std::int64_t started = 0, ended = 0;
            if (!cli.Start("--dir \"" + folder + "\"", started))
                return Fail("NimbrelCli did not start");
            const std::int64_t connected = cli.WaitFor("Device connected.", 1, RUN_MS);
            if (connected < 0 || cli.Finish(ended, RUN_MS) != 0)
                return Fail("a NimbrelCli run did not send every image");
            images += IMAGE_FILE_COUNT;
            if (!device.WaitForImages(images, RUN_MS))
                return Fail("the device did not receive every image");
            toDevice[withList].Add(connected - started);
            whole[withList].Add(ended - started);
        }
        ::SetCurrentDirectoryA(folder.c_str());
        const ULONGLONG before = ::GetTickCount64();
        if (CheckImageContents().fault != ContentFault::None)
            return Fail("the check refused the bench's own folder");
        checkAlone.Add(static_cast<std::int64_t>(::GetTickCount64() - before));
    }

    std::printf("Four images of %u MiB, %u single NimbrelCli runs each way, the device at full speed\n", mib,
                repeat);
    std::printf("                          without SHA256SUMS          with SHA256SUMS\n");
    std::printf("  start -> Device connected  %s   %s\n", toDevice[0].Text().c_str(),
                toDevice[1].Text().c_str());
    std::printf("  start -> end               %s   %s\n", whole[0].Text().c_str(), whole[1].Text().c_str());
    std::printf("  the check alone (in this process): %s\n", checkAlone.Text().c_str());
    std::printf("  the list adds %lld ms to the whole run (medians)\n",
                static_cast<long long>(whole[1].Median() - whole[0].Median()));
    return 0;
}
