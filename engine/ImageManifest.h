// The maker's checksum list beside the images: SHA256SUMS, as sha256sum writes it and sha256sum -c reads it,
// and its signature SHA256SUMS.sig.
//
//   <64 hex digits, either case> <' ' or '*'> <file name>      one line per file, LF or CRLF
//
// An optional UTF-8 BOM may lead the file and empty lines are passed over. Names are matched as Windows
// matches file names (case does not matter); lines for files other than the four images are ignored. The
// list is invalid when a line is malformed, names a path (a slash, backslash or colon in the name), names
// one of the four images twice, or the file is larger than 64 KiB.
#pragma once

#include "engine/ImageFormat.h"

#include <array>
#include <string>

constexpr char MANIFEST_FILE_NAME[] = "SHA256SUMS";
constexpr char MANIFEST_SIGNATURE_FILE_NAME[] = "SHA256SUMS.sig";
constexpr std::size_t MANIFEST_MAX_BYTES = 64 * 1024;

// Why a list is invalid.
enum class ManifestFault {
    None,
    TooLarge,  // larger than MANIFEST_MAX_BYTES
    Malformed, // a line that is not "<64 hex digits> <space or *><name>"
    NamesPath, // a name with a slash, backslash or colon
    Twice,     // one of the four images named a second time
};

struct ImageManifest {
    ManifestFault fault = ManifestFault::None;
    unsigned faultLine = 0; // 1-based line of the fault; 0 for TooLarge
    // Each image's listed SHA-256 in lower-case hex, by ImageFile; empty: not in the list.
    std::array<std::string, IMAGE_FILE_COUNT> sha256;
};

ImageManifest ParseManifest(const std::string& bytes);

// One line of the list for `name`, as sha256sum writes it in binary mode, LF-ended.
std::string ManifestLine(const std::string& sha256Hex, const char* name);
