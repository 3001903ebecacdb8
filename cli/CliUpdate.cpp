// What both ways of the console program need before a device (the text table, the image folder, a whole link
// library), then one update, or device after device.
#include "cli/CliUpdate.h"

#include "cli/ConsoleRun.h"
#include "cli/EachDevice.h"
#include "cli/JsonEvents.h"
#include "cli/OpenInNotepad.h"
#include "engine/SupportReport.h"
#include "system/Paths.h"
#include "link/DeviceLink.h"
#include "system/UniqueHandle.h"
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

// Where --report writes: FILE as given, the default name inside FILE when it is a folder, else the default
// name in the current folder. Resolved before --dir changes the current folder.
std::string ReportPath(const std::string& given) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char name[64];
    std::snprintf(name, sizeof name, "nimbrel-report-%04u%02u%02u-%02u%02u%02u.txt", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    const DWORD attributes = given.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(given.c_str());
    std::string path = given.empty() ? name : given;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        path = given + "\\" + name;
    char full[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full) : path;
}

int WriteReport(const std::string& path, const std::string& table, bool open) {
    const std::string text = MakeSupportReport(table);
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file.IsValid() ||
        !::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
        return CliFail(CLI_EXIT_USAGE, "the report cannot be written to %s (error %lu)", path.c_str(),
                       static_cast<unsigned long>(::GetLastError()));
    std::printf("%s\n", path.c_str());
    // Opened from here, the path reaches Notepad as it was written, never through a console's code page.
    if (open && !OpenInNotepad(path))
        std::fprintf(stderr, "NimbrelCli: Notepad cannot be started (error %lu)\n",
                     static_cast<unsigned long>(::GetLastError()));
    return CLI_EXIT_SENT;
}

bool LinkLibraryIsWhole() {
    const LinkLibrary library = LinkLibrary::Load();
    return library.HasOpenDev() && library.HasOpenFile();
}

} // namespace

int RunCliUpdate(const CliOptions& options) {
    const std::string reportPath = options.report ? ReportPath(options.reportFile) : std::string();
    std::string table;
    if (!FindTextTable(options, table))
        return CliFail(CLI_EXIT_USAGE, "text table %s not found", options.langFile.c_str());
    if (!options.imageFolder.empty() && !::SetCurrentDirectoryA(options.imageFolder.c_str()))
        return CliFail(CLI_EXIT_USAGE, "folder %s not found", options.imageFolder.c_str());
    if (options.report)
        return WriteReport(reportPath, table, options.openReport);
    const CliTexts texts(table);

    if (!LinkLibraryIsWhole())
        return CliFail(CLI_EXIT_NO_LINK_LIBRARY, "%s is missing or lacks open_dev or open_file",
                       LINK_LIBRARY_NAME);
    if (options.each)
        return UpdateEachDevice(options, texts);

    ConsoleRun frontEnd(options, texts);
    UpdateRun run;
    const RunResult result = run.Run(frontEnd);
    // A run that began has said its error already, before its end (with --json); one refused by another
    // update's lock never began.
    const RunVerdict* ended = frontEnd.EndVerdict();
    const RunVerdict verdict = ended ? *ended : DescribeRun(result, options.waitSeconds);
    if (verdict.exitCode != CLI_EXIT_SENT)
        return ended ? CliFailAfterItsEvent(verdict.exitCode, verdict.text)
                     : CliFail(verdict.exitCode, "%s", verdict.text.c_str());
    if (!JsonEvents::Active())
        std::printf(options.check ? "Check passed: %s.\n" : "Update finished: %s.\n", verdict.text.c_str());
    return CLI_EXIT_SENT;
}
