#include "engine/ImageContents.h"

#include "engine/ImageKeys.h"
#include "engine/UpdateStages.h"
#include "system/Paths.h"
#include "system/Sha256.h"
#include "system/UniqueHandle.h"

#include <algorithm>

namespace {

enum class Read { Absent, Failed, Done };

// A small file of the folder whole, up to `limit` bytes and one more (so that a larger one shows).
Read ReadSmallFile(const std::string& path, std::size_t limit, std::string& bytes) {
    // As for the images: a path that does not fit opens nothing, so that a folder whose images are found
    // today is not refused for a list that could not be read there anyway.
    if (path.size() >= PATH_BUFFER_SIZE)
        return Read::Absent;
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
        ::GetLastError() == ERROR_FILE_NOT_FOUND)
        return Read::Absent;
    UniqueHandle file(
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid())
        return Read::Failed;
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

// The signature of the list's bytes: its state, or the fault it is.
ContentFault CheckSignature(const std::string& folder, const std::string& list, const ImageKeys& keys,
                            ContentCheck& check) {
    if (keys.count == 0) {
        check.signature = SignatureState::NoKeys;
        return ContentFault::None;
    }
    std::string signature;
    const Read read = ReadSmallFile(folder + MANIFEST_SIGNATURE_FILE_NAME, sizeof(P256Signature), signature);
    if (read == Read::Absent)
        return keys.signedOnly ? ContentFault::Unsigned : ContentFault::None;
    if (read == Read::Failed || signature.size() != sizeof(P256Signature))
        return ContentFault::SignatureMalformed;
    Sha256 hash;
    hash.Update(list.data(), list.size());
    const Sha256Digest digest = hash.Finish();
    P256Signature rs;
    std::copy(signature.begin(), signature.end(), rs.begin());
    for (std::size_t k = 0; k < keys.count && !hash.Failed(); ++k) {
        if (VerifyP256(keys.points[k], digest, rs)) {
            check.signature = SignatureState::Verified;
            return ContentFault::None;
        }
    }
    return ContentFault::SignatureBad;
}

} // namespace

ContentCheck CheckImageContents(const std::function<bool()>& stopped) {
    ContentCheck check;
    const ImageKeys keys = BuiltInImageKeys();
    const std::string folder = ImageFolder();
    std::string list;
    const Read read =
        folder.empty() ? Read::Failed : ReadSmallFile(folder + MANIFEST_FILE_NAME, MANIFEST_MAX_BYTES, list);
    if (read == Read::Absent)
        return keys.signedOnly ? Refused(check, ContentFault::NoList) : check;
    check.listFound = true;
    if (read == Read::Failed)
        return Refused(check, ContentFault::ListUnreadable);
    check.manifest = ParseManifest(list);
    if (const ContentFault fault = CheckSignature(folder, list, keys, check); fault != ContentFault::None)
        return Refused(check, fault);
    if (check.manifest.fault != ManifestFault::None)
        return Refused(check, ContentFault::ListInvalid);

    // In the order of the stages, so that the file named is the first that would have gone wrong.
    const auto paths = BuildImagePaths();
    for (const UpdateStage& stage : UPDATE_STAGES) {
        const int file = stage.file;
        const std::string& expected = check.manifest.sha256[file];
        StageImage image = JudgeStageImage(paths[file].c_str());
        if (expected.empty()) {
            if (image == StageImage::ToSend)
                return Refused(check, ContentFault::NotListed, file);
            continue;
        }
        if (image == StageImage::InUse)
            image = JudgeStageImageWaiting(paths[file].c_str(), stopped);
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
    case ContentFault::ListInvalid:
        switch (check.manifest.fault) {
        case ManifestFault::TooLarge:
            return list + " is invalid: it is larger than 64 KiB";
        case ManifestFault::NamesPath:
            return list + " is invalid" + line + ": the name is a path";
        case ManifestFault::Twice:
            return list + " is invalid" + line + ": the image is named a second time";
        default:
            return list + " is invalid" + line + ": not \"<64 hex digits> <space or *><file name>\"";
        }
    case ContentFault::SignatureMalformed:
        return signature + " is not a signature (64 bytes, r then s)";
    case ContentFault::SignatureBad:
        return signature + " does not match " + list + ": the list is not the maker's";
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
    case ContentFault::ListInvalid:
        return "list-invalid";
    case ContentFault::SignatureMalformed:
        return "signature-malformed";
    case ContentFault::SignatureBad:
        return "signature-bad";
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
