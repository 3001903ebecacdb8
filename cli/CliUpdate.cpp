// What both ways of the console program need before a device (the text table, the image folder, a whole link
// library), then one update, or device after device.
#include "cli/CliUpdate.h"

#include "cli/ConsoleRun.h"
#include "cli/EachDevice.h"
#include "system/Paths.h"
#include "link/DeviceLink.h"
#include "texts/LangText.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The text table: --lang as given (it must exist), else lang.ini beside the program (it may be missing).
bool FindTextTable(const CliOptions& options, std::string& table) {
    if (options.langFile.empty()) {
        table = ProgramFolder() + LANG_TABLE_NAME;
        return true;
    }
    char full[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(options.langFile.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH || ::GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES)
        return false;
    table = full;
    return true;
}

bool LinkLibraryIsWhole() {
    const LinkLibrary library = LinkLibrary::Load();
    return library.HasOpenDev() && library.HasOpenFile();
}

} // namespace

int RunCliUpdate(const CliOptions& options) {
    std::string table;
    if (!FindTextTable(options, table))
        return CliFail(CLI_EXIT_USAGE, "text table %s not found", options.langFile.c_str());
    if (!options.imageFolder.empty() && !::SetCurrentDirectoryA(options.imageFolder.c_str()))
        return CliFail(CLI_EXIT_USAGE, "folder %s not found", options.imageFolder.c_str());
    const CliTexts texts(table);

    if (!LinkLibraryIsWhole())
        return CliFail(CLI_EXIT_NO_LINK_LIBRARY, "%s is missing or lacks open_dev or open_file",
                       LINK_LIBRARY_NAME);
    if (options.each)
        return UpdateEachDevice(options, texts);

    ConsoleRun frontEnd(options, texts);
    UpdateRun run;
    const RunVerdict verdict = DescribeRun(run.Run(frontEnd), options.waitSeconds);
    if (verdict.exitCode != CLI_EXIT_SENT)
        return CliFail(verdict.exitCode, "%s", verdict.text.c_str());
    std::printf(options.check ? "Check passed: %s.\n" : "Update finished: %s.\n", verdict.text.c_str());
    return CLI_EXIT_SENT;
}
