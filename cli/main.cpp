// NimbrelCli.exe: the update of Nimbrel.exe from a console, for scripted and repeated updates.
#include "cli/CliInterrupt.h"
#include "cli/CliOptions.h"
#include "cli/CliUpdate.h"
#include "system/DllSearch.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    // Before anything loads a library by name: the image folder may hold a planted TandryUSB.dll.
    RemoveCurrentDirectoryFromDllSearch();

    CliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "NimbrelCli: %s\n\n%s", error.c_str(), CliUsageText());
        return CLI_EXIT_USAGE;
    }
    if (options.help) {
        std::fputs(CliUsageText(), stdout);
        return CLI_EXIT_SENT;
    }
    InstallInterruptHandler();
    return RunCliUpdate(options);
}
