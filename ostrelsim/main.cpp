// OstrelSim.exe: a virtual Ostrel device. See --help and Options.cpp for the command line.
#include "ostrelsim/ConsoleCommands.h"
#include "ostrelsim/ControlChannel.h"
#include "ostrelsim/Device.h"
#include "ostrelsim/Options.h"
#include "ostrelsim/Recorder.h"
#include "tandryusb/DevicePaths.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

HANDLE g_quitEvent = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
    SetEvent(g_quitEvent);
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    using namespace ostrelsim;
    Options options;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "OstrelSim: %s\n\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    const std::string prefix = options.prefix.empty() ? tandry::DEFAULT_PREFIX : options.prefix;
    Recorder recorder;
    if (!recorder.Open(options.outputDir, error)) {
        std::fprintf(stderr, "OstrelSim: %s\n", error.c_str());
        return 1;
    }
    UniqueHandle quitEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    g_quitEvent = quitEvent.Get();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);

    Device device(options, recorder, prefix);
    ControlChannel control(options, device, recorder, prefix);
    if (!control.Open(error)) {
        std::fprintf(stderr, "OstrelSim: %s\n", error.c_str());
        return 1;
    }
    recorder.Log("\"event\":\"start\",\"prefix\":" + Recorder::Quote(prefix) +
                 ",\"pid\":" + std::to_string(GetCurrentProcessId()));
    recorder.Print("OstrelSim: device at " + prefix +
                   (options.startPlugged ? " (plugged in)" : " (unplugged)") + ", output in " +
                   options.outputDir);
    if (options.startPlugged) {
        device.Plug();
    }
    StartConsoleCommands(prefix, recorder);
    control.Run(quitEvent.Get());
    device.Unplug("quit");
    recorder.Log("\"event\":\"end\"");
    recorder.Print("OstrelSim: ended");
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    return 0;
}
