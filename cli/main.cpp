// NimbrelCli.exe: the update of Nimbrel.exe from a console, for scripted and repeated updates.
#include "cli/CliInterrupt.h"
#include "cli/CliOptions.h"
#include "cli/CliUpdate.h"
#include "cli/JsonEvents.h"
#include "system/DllSearch.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    // Before anything loads a library by name: the image folder may hold a planted TandryUSB.dll, the
    // program's folder a planted system DLL.
    LimitDllSearchToSystemFolder();

    CliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "NimbrelCli: %s\n\n%s", error.c_str(), CliUsageText());
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], "--json") == 0) {
                JsonEvents::Enable();
                JsonEvents::Active()->Error(error, CLI_EXIT_USAGE);
                break;
            }
        return CLI_EXIT_USAGE;
    }
    if (options.json)
        JsonEvents::Enable();
    if (options.help) {
        std::fputs(CliUsageText(), stdout);
        return CLI_EXIT_SENT;
    }
    InstallInterruptHandler();
    return RunCliUpdate(options);
}
