#include "engine/UpdateHistory.h"

#include "engine/TestSettings.h"

#include "system/Sha256.h"
#include "system/UniqueHandle.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace {

// A value goes into a line as one word: nothing in it may end the line, and a double quote would end a
// quoted value early.
std::string OneLine(const std::string& text) {
    std::string clean = text;
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == '"')
            c = '_';
    return clean;
}

std::string Word(const std::string& text) {
    std::string word = OneLine(text);
    for (char& c : word)
        if (c == ' ')
            c = '_';
    return word.empty() ? "-" : word;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes the folder and every missing parent; true when it exists afterwards.
bool MakeFolder(const std::string& folder) {
    for (std::size_t at = folder.find_first_of("\\/", 3); at != std::string::npos;
         at = folder.find_first_of("\\/", at + 1))
        ::CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

std::string HistoryTimeStamp() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return stamp;
}

const char* StageOutcomeWord(StageOutcome outcome) {
    switch (outcome) {
    case StageOutcome::Sent:
        return "sent";
    case StageOutcome::Absent:
        return "absent";
    case StageOutcome::NotMarked:
        return "not-marked";
    case StageOutcome::RefusedBadMark:
        return "refused-1022";
    case StageOutcome::RefusedTooShort:
        return "refused-1023";
    case StageOutcome::Failed:
        return "failed";
    case StageOutcome::NotLoaded:
        return "not-loaded";
    case StageOutcome::RefusedChanged:
        return "refused-changed";
    case StageOutcome::Checked:
        return "checked";
    case StageOutcome::NoPipe:
        return "no-pipe";
    case StageOutcome::NoSender:
        return "no-sender";
    case StageOutcome::Stopped:
        return "stopped";
    case StageOutcome::InUse:
        return "in-use";
    }
    return "unknown";
}

const char* RunOutcomeWord(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Completed:
        return "completed";
    case RunOutcome::Refused:
        return "refused";
    case RunOutcome::TransferFailed:
        return "transfer-failed";
    case RunOutcome::DeviceLost:
        return "device-lost";
    case RunOutcome::WrongModel:
        return "wrong-model";
    case RunOutcome::NotLinked:
        return "not-linked";
    case RunOutcome::NoLinkLibrary:
        return "no-link-library";
    case RunOutcome::NoPipe:
        return "no-pipe";
    case RunOutcome::ImageNotLoaded:
        return "image-not-loaded";
    case RunOutcome::ImageInUse:
        return "image-in-use";
    case RunOutcome::Interrupted:
        return "interrupted";
    case RunOutcome::NoSender:
        return "no-sender";
    case RunOutcome::LowBattery:
        return "low-battery";
    case RunOutcome::NotVerified:
        return "not-verified";
    case RunOutcome::Checked:
        return "checked";
    case RunOutcome::AnotherRun:
        return "another-run";
    }
    return "unknown";
}

std::string DefaultHistoryFolder() {
    const std::string forTests = TestHistoryFolder();
    if (!forTests.empty())
        return forTests;
    char folder[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableA("LOCALAPPDATA", folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return {};
    return std::string(folder) + "\\Nimbrel";
}

UpdateHistory::UpdateHistory(std::string folder, std::string runId)
    : m_folder(std::move(folder)), m_runId(std::move(runId)), m_startedMs(::GetTickCount64()) {}

std::string UpdateHistory::path() const {
    return m_folder + "\\" + FILE_NAME;
}

ImageFingerprint FingerprintBytes(const void* data, std::size_t size) {
    Sha256 hash;
    hash.Update(data, size);
    return {size, hash.FinishHex()};
}

bool FingerprintFile(const std::string& path, ImageFingerprint& fingerprint) {
    // Read-only and sharing everything: hashing a file never keeps another program from it.
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid())
        return false;
    Sha256 hash;
    std::vector<char> chunk(1024 * 1024);
    fingerprint.size = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
            return false;
        if (read == 0)
            break;
        hash.Update(chunk.data(), read);
        fingerprint.size += read;
    }
    fingerprint.sha256 = hash.FinishHex();
    return !fingerprint.sha256.empty();
}

const char* VerificationWord(Verification verification) {
    switch (verification) {
    case Verification::Sha256:
        return "sha256";
    case Verification::Signature:
        return "signature";
    default:
        return "none";
    }
}

bool UpdateHistory::RunStarted(const std::string& programVersion, const std::string& linkLibraryPath,
                               const std::string& probeVerdict, const std::string& program,
                               bool lockAbandoned) {
    std::string line = "run-start";
    if (!program.empty())
        line += " program=" + Word(program);
    line += " version=" + Word(programVersion) + " link=\"" + OneLine(linkLibraryPath) +
            "\" probe=" + Word(probeVerdict);
    if (lockAbandoned)
        line += " lock=abandoned";
    return Append(line);
}

bool UpdateHistory::StageDone(const std::string& imagePath, StageOutcome outcome,
                              std::uint32_t payloadBytesTaken, const ImageFingerprint* sent,
                              Verification verified, bool senderEnded) {
    std::string line = "stage file=" + Word(BaseName(imagePath));
    ImageFingerprint now;
    // A fingerprint the system could not make is left out, as for a file that cannot be read.
    if (sent && !sent->sha256.empty())
        line += " size=" + std::to_string(sent->size) + " sha256=" + sent->sha256;
    // A file another program holds open is left alone.
    else if (!sent && outcome != StageOutcome::Absent && outcome != StageOutcome::InUse &&
             FingerprintFile(imagePath, now))
        line += " size=" + std::to_string(now.size) + " sha256=" + now.sha256;
    line += std::string(" verified=") + VerificationWord(verified) + " outcome=" + StageOutcomeWord(outcome);
    if (outcome == StageOutcome::Failed)
        line += " taken=" + std::to_string(payloadBytesTaken);
    if (!senderEnded)
        line += " sender=not-ended";
    return Append(line);
}

bool UpdateHistory::ContentsChecked(const std::string& fields) {
    return Append("contents " + OneLine(fields));
}

bool UpdateHistory::RunEnded(RunOutcome outcome) {
    return Append(std::string("run-end outcome=") + RunOutcomeWord(outcome) +
                  " duration-ms=" + std::to_string(::GetTickCount64() - m_startedMs));
}

bool UpdateHistory::Append(const std::string& event) {
    if (m_folder.empty() || !MakeFolder(m_folder))
        return false;
    const std::string line =
        HistoryTimeStamp() + " " + (m_runId.empty() ? "" : "run=" + m_runId + " ") + event + "\r\n";
    const std::string file = path();

    // The file never grows past its bound: the line that would pass it starts a new file, and the full one
    // becomes the older history, replacing the one before. Should the rename fail (the file held open
    // elsewhere), the line still goes into the full file; the next line tries again.
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (::GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &info) &&
        (info.nFileSizeHigh != 0 || info.nFileSizeLow + line.size() > MAX_FILE_BYTES))
        ::MoveFileExA(file.c_str(), (m_folder + "\\" + OLDER_FILE_NAME).c_str(), MOVEFILE_REPLACE_EXISTING);

    UniqueHandle out(::CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.IsValid())
        return false;
    DWORD written = 0;
    return ::WriteFile(out.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}
