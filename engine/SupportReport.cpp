#include "engine/SupportReport.h"

#include "engine/ImageContents.h"
#include "engine/ImageFacts.h"
#include "engine/PowerCheck.h"
#include "engine/UpdateHistory.h"
#include "engine/UpdateLock.h"
#include "link/DeviceLink.h"
#include "link/IdentityProbe.h"
#include "link/PresenceCheck.h"
#include "link/ProbeState.h"
#include "system/DllSearch.h"
#include "system/Paths.h"
#include "system/PowerSeams.h"
#include "system/ProgramVersion.h"
#include "system/UniqueHandle.h"
#include "texts/LangText.h"
#include "texts/TextKeys.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

namespace {

constexpr char PROGRAM_FILES[][16] = {"Nimbrel.exe", "NimbrelCli.exe"};

class Report {
public:
    void Heading(const std::string& title) {
        m_text += "\r\n" + title + "\r\n" + std::string(title.size(), '-') + "\r\n";
    }
    void Line(const std::string& line) { m_text += line + "\r\n"; }
    void Item(const std::string& name, const std::string& value) {
        std::string padded = "  " + name + ":";
        padded.resize(std::max<std::size_t>(padded.size() + 1, 24), ' ');
        Line(padded + value);
    }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

std::string SystemMessage(DWORD error) {
    char text[256] = "";
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                          error, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return "error " + std::to_string(error) + (message.empty() ? "" : " (" + message + ")");
}

std::string Fingerprinted(const ImageFingerprint& fingerprint) {
    if (fingerprint.sha256.empty())
        return "cannot be read";
    return std::to_string(fingerprint.size) + " bytes, SHA-256 " + fingerprint.sha256;
}

void Programs(Report& report) {
    report.Heading("Programs");
    const std::string folder = ProgramFolder();
    report.Item("folder", folder);
    const std::string self = ProgramFilePath().substr(folder.size());
    for (const char* name : PROGRAM_FILES) {
        const std::string path = folder + name;
        if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            report.Item(name, "not in this folder");
            continue;
        }
        const std::string version = FileVersionOf(path);
        report.Item(name, (version.empty() ? "no version record" : "version " + version) +
                              (self == name ? " (made this report)" : ""));
    }
}

const char* ArchitectureName(WORD architecture) {
    switch (architecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
        return "x64";
    case PROCESSOR_ARCHITECTURE_INTEL:
        return "x86";
    case PROCESSOR_ARCHITECTURE_ARM64:
        return "ARM64";
    case PROCESSOR_ARCHITECTURE_ARM:
        return "ARM";
    default:
        return "unknown";
    }
}

void Windows(Report& report) {
    report.Heading("Windows");
    // GetVersionEx answers what the manifest allows; the system's own call tells the truth.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    if (rtlGetVersion && rtlGetVersion(&version) == 0)
        report.Item("version", std::to_string(version.dwMajorVersion) + "." +
                                   std::to_string(version.dwMinorVersion) + ", build " +
                                   std::to_string(version.dwBuildNumber));
    else
        report.Item("version", "cannot be told");
    SYSTEM_INFO system{};
    ::GetNativeSystemInfo(&system);
    report.Item("architecture", ArchitectureName(system.wProcessorArchitecture));
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    report.Item("this program", std::string(sizeof(void*) == 8 ? "64-bit" : "32-bit") +
                                    (wow64 ? ", running as 32-bit on 64-bit Windows" : ""));
    report.Item("ANSI code page", std::to_string(::GetACP()));
}

void LinkLibraryPart(Report& report) {
    report.Heading("Link library");
    const LoadedLibrary library(LoadLibraryBesideProgram(LINK_LIBRARY_NAME));
    if (!library) {
        report.Item(LINK_LIBRARY_NAME, "not loaded: " + SystemMessage(::GetLastError()));
        return;
    }
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(library.Get(), path, sizeof path);
    const std::string file = length > 0 && length < sizeof path ? std::string(path, length) : std::string();
    report.Item("path", file.empty() ? "cannot be told" : file);
    const std::string version = FileVersionOf(file);
    report.Item("version record", version.empty() ? "none" : version);
    ImageFingerprint fingerprint;
    FingerprintFile(file, fingerprint);
    report.Item("file", Fingerprinted(fingerprint));
    const auto has = [&](const char* name) {
        return ::GetProcAddress(library.Get(), name) ? "present" : "MISSING";
    };
    report.Item("open_dev", has("open_dev"));
    report.Item("open_file", has("open_file"));
}

void TextTable(Report& report, const std::string& table) {
    report.Heading("Text table");
    report.Item("path", table);
    const std::string encoding = DescribeLangTableEncoding(table.c_str());
    report.Item("encoding", encoding);
    if (encoding == "missing")
        return;
    std::string lacking;
    for (const LangEntry& entry : LANG_TABLE_ENTRIES) {
        char text[LANG_TEXT_SIZE];
        if (*LookupLangTextIn(table.c_str(), entry.section, entry.key, text, sizeof text) == '\0')
            lacking += std::string(lacking.empty() ? "" : ", ") + "[" + entry.section + "] " + entry.key;
    }
    report.Item("entries it lacks", lacking.empty() ? "none" : lacking);
}

void Images(Report& report) {
    report.Heading("Images");
    char folder[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof folder, folder);
    report.Item("folder", folder);
    // The same check as an update's, before the device: the list, its signature and every image; but reading
    // the images shared, so that an update from this folder never finds them held.
    const ContentCheck contents = CheckImageContents(ImageReader::Report);
    if (contents.fault == ContentFault::None) {
        report.Item("contents", DescribeVerification(contents));
    } else {
        const std::string fault = DescribeContentFault(contents, true);
        report.Item("contents", "NOT verified: " + fault);
        report.Item("an update", "would be refused: " + fault);
    }
    const auto paths = BuildImagePaths();
    for (int stage = 0; stage < UPDATE_STAGE_COUNT; ++stage) {
        const int file = UPDATE_STAGES[stage].file;
        const std::string& path = paths[file];
        const StageImageFacts facts = FactsOfImageFile(stage, path, contents);
        std::string said = StageImageWord(facts.image);
        if (facts.image != StageImage::Absent)
            said += ", " + Fingerprinted(facts.fingerprint) +
                    (facts.verified == std::string("mismatch")
                         ? std::string(", does NOT match ") + MANIFEST_FILE_NAME
                         : ", would be verified: " + facts.verified);
        report.Item(std::to_string(stage + 1) + " " + IMAGE_FILE_NAMES[file], said);
    }
}

void Power(Report& report) {
    report.Heading("Power");
    SYSTEM_POWER_STATUS status{};
    if (!ReadSystemPowerStatus(status)) {
        report.Item("status", "cannot be told");
        return;
    }
    const char* line = status.ACLineStatus == 1 ? "online" : status.ACLineStatus == 0 ? "offline" : "unknown";
    report.Item("mains", line);
    report.Item("battery",
                (status.BatteryFlag & 128) ? "none" : "flag " + std::to_string(status.BatteryFlag));
    report.Item("charge", status.BatteryLifePercent == 255 ? "unknown"
                                                           : std::to_string(status.BatteryLifePercent) + "%");
    report.Item("an update",
                BatteryTooLowToUpdate(status) ? "would be refused: battery too low" : "would start");
}

// What the report did to the device, for its first line.
const char PROBE_MADE[] = "The identity probe was made (the device was asked for its identity); no image was "
                          "sent to it.";

// The identity probe's verdict in words, or why none was made; `toDevice` says what reached the device.
std::string ProbeDevice(UpdateLock::Taken taken, DevicePresence presence, std::string& toDevice) {
    std::string notMade;
    if (taken == UpdateLock::Taken::HeldElsewhere)
        notMade = "another update holds the device";
    else if (presence == DevicePresence::LibraryMissing)
        notMade = "the link library is missing";
    else if (presence != DevicePresence::Present)
        notMade = "no device";
    LinkOpenResult pipe;
    if (notMade.empty()) {
        pipe = OpenDataPipe();
        if (!pipe.handle.IsValid())
            notMade = "the device's data pipe cannot be opened";
    }
    if (!notMade.empty()) {
        toDevice = "Nothing was sent to the device: no identity probe (" + notMade + ").";
        return "not made: " + notMade;
    }
    toDevice = PROBE_MADE;
    g_bDeviceIdentified.store(0);
    return ProbeDeviceIdentity(pipe.handle.Get(), nullptr) ? "answers as an Ostrel"
                                                           : "does NOT answer as an Ostrel";
}

// Runs on a thread of its own, which ends when this returns (see the end).
void LockAndDeviceOnThisThread(Report& report, std::string& toDevice) {
    UpdateLock lock;
    const UpdateLock::Taken taken = lock.Take();
    if (taken == UpdateLock::Taken::HeldElsewhere)
        report.Item("update lock", "HELD by another update (Nimbrel.exe or NimbrelCli.exe) now");
    else if (taken == UpdateLock::Taken::AfterAbandon)
        report.Item("update lock", "free; the program that held it last ended without letting it go");
    else
        report.Item("update lock", "free");
    const DevicePresence presence = FindDevice();
    report.Item("device", presence == DevicePresence::Present ? "present"
                          : presence == DevicePresence::Absent
                              ? "not present"
                              : "cannot be looked for: the link library is missing");
    report.Item("identity probe", ProbeDevice(taken, presence, toDevice));
    if (taken == UpdateLock::Taken::AfterAbandon) {
        // Taking the lock cleared the mark a dead holder left, which the next update's history must still
        // show (lock=abandoned): this thread takes it once more than the lock lets go, and ends holding it,
        // which abandons it again.
        const UniqueHandle again(::OpenMutexA(SYNCHRONIZE, FALSE, UpdateLock::Name().c_str()));
        if (again.IsValid())
            ::WaitForSingleObject(again.Get(), 0);
    }
}

// Returns what reached the device, in words.
std::string LockAndDevice(Report& report) {
    report.Heading("Update lock and device");
    std::string toDevice;
    std::thread([&report, &toDevice] { LockAndDeviceOnThisThread(report, toDevice); }).join();
    return toDevice;
}

std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

void History(Report& report) {
    const std::string folder = DefaultHistoryFolder();
    report.Heading("History: the last " + std::to_string(REPORT_HISTORY_RUNS) + " runs");
    report.Item("folder", folder.empty() ? "cannot be told" : folder);
    std::vector<std::string> lines = FileLines(folder + "\\" + UpdateHistory::OLDER_FILE_NAME);
    for (std::string& line : FileLines(folder + "\\" + UpdateHistory::FILE_NAME))
        lines.push_back(std::move(line));
    // One run at a time writes, so a run's lines stand together and end with its run-end; lines after the
    // last run-end are a run that has not ended (still running, or its program ended on the way).
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(" run-end ") != std::string::npos && i + 1 < lines.size())
            starts.push_back(i + 1);
    const std::size_t first =
        starts.size() > REPORT_HISTORY_RUNS ? starts[starts.size() - REPORT_HISTORY_RUNS] : 0;
    if (lines.empty())
        report.Line("  (no update has run on this PC, or the history cannot be read)");
    for (std::size_t i = first; i < lines.size(); ++i)
        report.Line("  " + lines[i]);
}

} // namespace

std::string MakeSupportReport(const std::string& textTable) {
    const std::string made = HistoryTimeStamp();
    Report report;
    Programs(report);
    Windows(report);
    LinkLibraryPart(report);
    TextTable(report, textTable);
    Images(report);
    Power(report);
    const std::string toDevice = LockAndDevice(report);
    History(report);
    // The first line says what the report did to the device, which it knows only at the end.
    return "Nimbrel support report, made " + made + ". " + toDevice + "\r\n" + report.Text();
}
