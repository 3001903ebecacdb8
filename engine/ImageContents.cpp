#include "engine/ImageContents.h"

#include "engine/ImageKeys.h"
#include "engine/UpdateStages.h"
#include "system/Paths.h"
#include "system/Sha256.h"
#include "system/UniqueHandle.h"

#include <algorithm>

namespace {

enum class Read { Absent, Failed, TooLong, Done };

// `path` in the form that reaches past MAX_PATH ("\\?\C:\...", "\\?\UNC\server\share\..."), in the
// system's wide characters as the ANSI calls would convert it; empty when it is not a full path of either
// kind, since the long form takes a path as it is, never resolving "." or "..".
std::wstring LongPathForm(const std::string& path) {
    std::string whole;
    if (path.size() > 3 && path[1] == ':' && path[2] == '\\')
        whole = "\\\\?\\" + path;
    else if (path.rfind("\\\\", 0) == 0 && path.rfind("\\\\?\\", 0) != 0 && path.rfind("\\\\.\\", 0) != 0)
        whole = "\\\\?\\UNC\\" + path.substr(2);
    if (whole.empty() || whole.find('/') != std::string::npos ||
        whole.find("\\.\\", 4) != std::string::npos || whole.find("\\..\\") != std::string::npos)
        return {};
    const int size = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, whole.c_str(), -1, nullptr, 0);
    if (size <= 1)
        return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, whole.c_str(), -1, &wide[0], size) != size)
        return {};
    wide.resize(static_cast<std::size_t>(size) - 1);
    return wide;
}

// A small file of the folder whole, up to `limit` bytes and one more (so that a larger one shows). A path
// too long for the ANSI calls is opened in its long form: the images of a deep folder are found, and so
// must their list and its signature be, never taken as absent.
Read ReadSmallFile(const std::string& path, std::size_t limit, std::string& bytes) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    if (path.size() < PATH_BUFFER_SIZE) {
        opened =
            ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    } else {
        const std::wstring longForm = LongPathForm(path);
        if (longForm.empty())
            return Read::TooLong;
        opened = ::CreateFileW(longForm.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    }
    const DWORD error = ::GetLastError();
    UniqueHandle file(opened);
    if (!file.IsValid())
        return error == ERROR_FILE_NOT_FOUND ? Read::Absent : Read::Failed;
    bytes.assign(limit + 1, '\0');
    DWORD total = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), &bytes[total], static_cast<DWORD>(bytes.size() - total), &read, nullptr))
            return Read::Failed;
        total += read;
        if (read == 0 || total == bytes.size())
            break;
    }
    bytes.resize(total);
    return Read::Done;
}

// The folder of the images, with its backslash; empty when the current directory cannot be had.
std::string ImageFolder() {
    char directory[PATH_BUFFER_SIZE];
    const DWORD length = ::GetCurrentDirectoryA(PATH_BUFFER_SIZE, directory);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        return {};
    std::string folder(directory, length);
    return folder.back() == '\\' ? folder : folder + "\\";
}

ContentCheck Refused(ContentCheck check, ContentFault fault, int file = -1) {
    check.fault = fault;
    check.file = file;
    return check;
}

ContentCheck TooLong(ContentCheck check, const std::string& path, int file = -1) {
    check.tooLong = path;
    return Refused(check, ContentFault::PathTooLong, file);
}

// The signature of the list's bytes: its state, or the fault it is.
ContentFault CheckSignature(const std::string& folder, const std::string& list, const ImageKeys& keys,
                            ContentCheck& check) {
    if (keys.count == 0) {
        check.signature = SignatureState::NoKeys;
        return ContentFault::None;
    }
    std::string signature;
    const std::string path = folder + MANIFEST_SIGNATURE_FILE_NAME;
    switch (ReadSmallFile(path, sizeof(P256Signature), signature)) {
    case Read::Absent:
        return keys.signedOnly ? ContentFault::Unsigned : ContentFault::None;
    case Read::TooLong:
        check.tooLong = path;
        return ContentFault::PathTooLong;
    case Read::Failed:
        return ContentFault::SignatureUnreadable;
    case Read::Done:
        break;
    }
    if (signature.size() != sizeof(P256Signature))
        return ContentFault::SignatureMalformed;
    Sha256 hash;
    hash.Update(list.data(), list.size());
    const Sha256Digest digest = hash.Finish();
    // A PC that cannot check says so: its failure is no forgery, and no signature either.
    if (hash.Failed())
        return ContentFault::SignatureUncheckable;
    P256Signature rs;
    std::copy(signature.begin(), signature.end(), rs.begin());
    bool uncheckable = false;
    for (std::size_t k = 0; k < keys.count; ++k) {
        switch (CheckP256Signature(keys.points[k], digest, rs)) {
        case P256Verdict::Valid:
            check.signature = SignatureState::Verified;
            return ContentFault::None;
        case P256Verdict::Uncheckable:
            uncheckable = true;
            break;
        case P256Verdict::Invalid:
            break;
        }
    }
    // The list may be signed by the key that could not be checked.
    return uncheckable ? ContentFault::SignatureUncheckable : ContentFault::SignatureBad;
}

} // namespace

ContentCheck CheckImageContents(ImageReader reader, const std::function<bool()>& stopped) {
    return CheckImageContents(BuiltInImageKeys(), reader, stopped);
}

ContentCheck CheckImageContents(const ImageKeys& keys, ImageReader reader,
                                const std::function<bool()>& stopped) {
    ContentCheck check;
    const std::string folder = ImageFolder();
    std::string list;
    const Read read =
        folder.empty() ? Read::Failed : ReadSmallFile(folder + MANIFEST_FILE_NAME, MANIFEST_MAX_BYTES, list);
    if (read == Read::TooLong)
        return TooLong(check, folder + MANIFEST_FILE_NAME);
    if (read == Read::Absent)
        return keys.signedOnly ? Refused(check, ContentFault::NoList) : check;
    check.listFound = true;
    if (read == Read::Failed)
        return Refused(check, ContentFault::ListUnreadable);
    check.manifest = ParseManifest(list);
    // Only the first 64 KiB and one byte were read: no signature of the whole list could match them, and
    // calling it not the maker's would hide what is wrong.
    if (check.manifest.fault == ManifestFault::TooLarge)
        return Refused(check, ContentFault::ListTooLarge);
    if (const ContentFault fault = CheckSignature(folder, list, keys, check); fault != ContentFault::None)
        return Refused(check, fault);
    if (check.manifest.fault != ManifestFault::None)
        return Refused(check, ContentFault::ListInvalid);

    // In the order of the stages, so that the file named is the first that would have gone wrong.
    const auto paths = BuildImagePaths();
    for (const UpdateStage& stage : UPDATE_STAGES) {
        const int file = stage.file;
        const std::string& expected = check.manifest.sha256[file];
        // Listed, and its path does not fit: it may well be there, so it is neither missing nor sent.
        if (!expected.empty() && paths[file].empty())
            return TooLong(check, folder + IMAGE_FILE_NAMES[file], file);
        StageImage image = JudgeStageImage(paths[file].c_str(), AllocateCHeap, reader);
        if (expected.empty()) {
            if (image == StageImage::ToSend)
                return Refused(check, ContentFault::NotListed, file);
            continue;
        }
        if (image == StageImage::InUse)
            image = JudgeStageImageWaiting(paths[file].c_str(), stopped, reader);
        if (image == StageImage::InUse)
            return Refused(check, ContentFault::InUse, file);
        if (image == StageImage::Absent)
            return Refused(check, ContentFault::Missing, file);
        ImageFingerprint found;
        if (!FingerprintFile(paths[file], found))
            return Refused(check, ContentFault::Unreadable, file);
        if (found.sha256 != expected) {
            check.actualSha256 = found.sha256;
            return Refused(check, ContentFault::Mismatch, file);
        }
    }
    check.verification =
        check.signature == SignatureState::Verified ? Verification::Signature : Verification::Sha256;
    return check;
}

bool LoadedBytesPass(ContentCheck& check, int file, const std::string& sha256) {
    if (!check.listFound)
        return true;
    const std::string& expected = check.manifest.sha256[file];
    // Marked for sending since the check, and never listed.
    if (expected.empty()) {
        check = Refused(check, ContentFault::NotListed, file);
        return false;
    }
    if (sha256 == expected)
        return true;
    check.actualSha256 = sha256;
    check = Refused(check, ContentFault::Changed, file);
    return false;
}

bool ListedButAbsent(ContentCheck& check, int file) {
    if (!check.listFound || check.manifest.sha256[file].empty())
        return false;
    check = Refused(check, ContentFault::Missing, file);
    return true;
}

Verification VerificationOf(const ContentCheck& check, int file) {
    if (file < 0 || file >= IMAGE_FILE_COUNT || check.manifest.sha256[file].empty())
        return Verification::None;
    return check.verification;
}

const char* ComparedWithList(const ContentCheck& check, int file, const std::string& sha256) {
    if (sha256.empty() || !check.listFound || file < 0 || file >= IMAGE_FILE_COUNT ||
        check.manifest.sha256[file].empty())
        return VerificationWord(Verification::None);
    // A check that refused the folder verifies nothing, though these bytes may be the ones listed.
    return sha256 == check.manifest.sha256[file] ? VerificationWord(check.verification) : "mismatch";
}

std::string DescribeContentFault(const ContentCheck& check, bool digests) {
    const std::string name = check.file >= 0 ? IMAGE_FILE_NAMES[check.file] : "";
    const std::string list = MANIFEST_FILE_NAME;
    const std::string signature = MANIFEST_SIGNATURE_FILE_NAME;
    const std::string found = digests ? ": expected " + check.manifest.sha256[std::max(check.file, 0)] +
                                            ", actual " + check.actualSha256
                                      : "";
    const std::string line = " at line " + std::to_string(check.manifest.faultLine);
    switch (check.fault) {
    case ContentFault::ListUnreadable:
        return list + " cannot be read";
    case ContentFault::ListTooLarge:
        return list + " is too large: it is larger than 64 KiB";
    case ContentFault::ListInvalid:
        switch (check.manifest.fault) {
        case ManifestFault::NamesPath:
            return list + " is invalid" + line + ": the name is a path";
        case ManifestFault::Twice:
            return list + " is invalid" + line + ": the image is named a second time";
        default:
            return list + " is invalid" + line + ": not \"<64 hex digits> <space or *><file name>\"";
        }
    case ContentFault::SignatureUnreadable:
        return signature + " cannot be read";
    case ContentFault::SignatureMalformed:
        return signature + " is not a signature (64 bytes, r then s)";
    case ContentFault::SignatureBad:
        return signature + " does not match " + list + ": the list is not the maker's";
    case ContentFault::SignatureUncheckable:
        return "the signature could not be checked on this PC (its system's ECDSA P-256 or SHA-256 failed), "
               "so whether " +
               list + " is the maker's is not known";
    case ContentFault::PathTooLong:
        return "the folder's path is too long: " + check.tooLong + " would be " +
               std::to_string(check.tooLong.size()) + " characters, more than this program can open; move " +
               "the update to a folder with a shorter path";
    case ContentFault::NoList:
        return "this program sends only images signed by the maker, and the folder has no " + list;
    case ContentFault::Unsigned:
        return "this program sends only images signed by the maker, and " + list + " has no " + signature;
    case ContentFault::NotListed:
        return name + " is not in " + list;
    case ContentFault::Missing:
        return name + " is in " + list + " but missing";
    case ContentFault::InUse:
        return name + " is in use by another program, so it cannot be checked against " + list;
    case ContentFault::Unreadable:
        return name + " cannot be read to check it against " + list;
    case ContentFault::Mismatch:
        return name + " does not match " + list + found;
    case ContentFault::Changed:
        return name + " has changed since it was checked against " + list + found;
    case ContentFault::None:
        break;
    }
    return {};
}

const char* ContentFaultWord(ContentFault fault) {
    switch (fault) {
    case ContentFault::ListUnreadable:
        return "list-unreadable";
    case ContentFault::ListTooLarge:
        return "list-too-large";
    case ContentFault::ListInvalid:
        return "list-invalid";
    case ContentFault::SignatureUnreadable:
        return "signature-unreadable";
    case ContentFault::SignatureMalformed:
        return "signature-malformed";
    case ContentFault::SignatureBad:
        return "signature-bad";
    case ContentFault::SignatureUncheckable:
        return "signature-uncheckable";
    case ContentFault::PathTooLong:
        return "path-too-long";
    case ContentFault::NoList:
        return "no-list";
    case ContentFault::Unsigned:
        return "unsigned";
    case ContentFault::NotListed:
        return "not-listed";
    case ContentFault::Missing:
        return "missing";
    case ContentFault::InUse:
        return "in-use";
    case ContentFault::Unreadable:
        return "unreadable";
    case ContentFault::Mismatch:
        return "mismatch";
    case ContentFault::Changed:
        return "changed";
    case ContentFault::None:
        break;
    }
    return "none";
}

std::string DescribeVerification(const ContentCheck& check) {
    if (!check.listFound)
        return std::string("The images' contents are not verified: the folder has no ") + MANIFEST_FILE_NAME +
               ".";
    switch (check.signature) {
    case SignatureState::Verified:
        return std::string("The images' contents are verified: ") + MANIFEST_FILE_NAME +
               " matches them and the maker's signature matches it.";
    case SignatureState::NoKeys:
        return std::string("The images' contents are verified by ") + MANIFEST_FILE_NAME +
               "; signatures are not checked (this program has no maker's key).";
    default:
        return std::string("The images' contents are verified by ") + MANIFEST_FILE_NAME + " (not signed).";
    }
}
