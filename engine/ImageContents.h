// Whether the images in the current folder are the maker's bytes: the checksum list SHA256SUMS (and its
// signature SHA256SUMS.sig, when the program has the maker's keys) checked against all four images at
// once, before anything of the device is opened; and, at each stage, the bytes loaded for sending compared
// with the list once more.
#pragma once

#include "engine/ImageKeys.h"
#include "engine/ImageManifest.h"
#include "engine/UpdateHistory.h"

#include <functional>
#include <string>

// What the check found wrong; the run sends nothing when it is anything but None.
enum class ContentFault {
    None,
    ListUnreadable,       // SHA256SUMS is there but cannot be read
    ListTooLarge,         // SHA256SUMS is larger than MANIFEST_MAX_BYTES, signed or not
    ListInvalid,          // see ImageManifest::fault and faultLine
    SignatureUnreadable,  // SHA256SUMS.sig is there but cannot be read
    SignatureMalformed,   // SHA256SUMS.sig is not 64 bytes
    SignatureBad,         // SHA256SUMS.sig is not a signature of the list by any of the program's keys
    SignatureUncheckable, // this PC could not check it: no ECDSA provider, a key not imported, a failed hash
    PathTooLong,          // a file of the check cannot be named in the folder: its path is too long
    NoList,               // a signed-only program and no SHA256SUMS
    Unsigned,             // a signed-only program and no SHA256SUMS.sig
    NotListed,            // an image marked for sending that the list does not name
    Missing,              // an image the list names is not there
    InUse,                // a listed image is there, but another program held it open past the wait
    Unreadable,           // a listed image cannot be read to its end
    Mismatch,             // a listed image's SHA-256 differs from the list's
    Changed,              // at its stage: the bytes loaded for sending differ from the list's
};

// How the list's signature stands.
enum class SignatureState {
    Absent,   // no SHA256SUMS.sig
    Verified, // signed by one of the program's keys
    NoKeys,   // the program has no keys and checks no signature
};

struct ContentCheck {
    bool listFound = false;
    SignatureState signature = SignatureState::Absent;
    // How the images' bytes are verified when the check passed: Signature or Sha256 with a list, None
    // without.
    Verification verification = Verification::None;
    ContentFault fault = ContentFault::None;
    int file = -1;       // the ImageFile the fault is about; -1 when it is about the list
    std::string tooLong; // PathTooLong: the folder, and the file that cannot be named in it
    ImageManifest manifest;
    std::string actualSha256; // Mismatch and Changed: the SHA-256 of the bytes found
};

// Checks the list (when there is one) against the four images in the current folder, by the program's
// built-in keys (or by `keys`); `reader` opens the images as ReadLeadBlock says. A listed image that another
// program holds open is waited for as at a stage (`stopped` ends the wait).
ContentCheck CheckImageContents(ImageReader reader = ImageReader::Update,
                                const std::function<bool()>& stopped = nullptr);
ContentCheck CheckImageContents(const ImageKeys& keys, ImageReader reader = ImageReader::Update,
                                const std::function<bool()>& stopped = nullptr);

// At a stage: whether the bytes loaded for `file`, of SHA-256 `sha256`, are those the check passed. Without
// a list, any bytes are. Sets the fault (Changed or NotListed) and actualSha256 when not.
bool LoadedBytesPass(ContentCheck& check, int file, const std::string& sha256);

// At a stage whose image is absent: whether the list names it. Then it is missing, and the fault (Missing)
// is set.
bool ListedButAbsent(ContentCheck& check, int file);

// How the bytes of `file` were verified, for its history line.
Verification VerificationOf(const ContentCheck& check, int file);

// Bytes of `file` whose SHA-256 is `sha256` compared with the list, in one word: "signature" or "sha256" when
// they are the bytes the list names and the check passed, "mismatch" when they differ, "none" when nothing
// was verified (no list, the file not in it, no hash of the bytes, or a check that refused the folder).
const char* ComparedWithList(const ContentCheck& check, int file, const std::string& sha256);

// What was wrong, in words, naming the file or the list's line: "firm.zpk does not match SHA256SUMS". With
// `digests`, a mismatch adds the expected and the actual SHA-256.
std::string DescribeContentFault(const ContentCheck& check, bool digests);

// A word for the history: "mismatch", "list-invalid", ...
const char* ContentFaultWord(ContentFault fault);
// How the program verifies images at all, for the console's line and the history: the list, its
// signature, and whether the program has keys.
std::string DescribeVerification(const ContentCheck& check);
