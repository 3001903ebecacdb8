#include "engine/ImageManifest.h"

#include <cctype>
#include <cstring>

namespace {

constexpr std::size_t HEX_DIGITS = 64;
constexpr char UTF8_BOM[] = "\xEF\xBB\xBF";

// The image a name stands for, as Windows would open it: the four names are plain ASCII, so an ASCII
// comparison that ignores case is Windows' own answer for them.
int ImageNamed(const std::string& name) {
    for (int file = 0; file < IMAGE_FILE_COUNT; ++file) {
        const char* image = IMAGE_FILE_NAMES[file];
        if (name.size() != std::strlen(image))
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(name[i])) == image[i];
        if (same)
            return file;
    }
    return -1;
}

ManifestFault ParseLine(const std::string& line, ImageManifest& manifest) {
    if (line.size() < HEX_DIGITS + 3 || line[HEX_DIGITS] != ' ' ||
        (line[HEX_DIGITS + 1] != ' ' && line[HEX_DIGITS + 1] != '*'))
        return ManifestFault::Malformed;
    std::string digest = line.substr(0, HEX_DIGITS);
    for (char& c : digest) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return ManifestFault::Malformed;
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string name = line.substr(HEX_DIGITS + 2);
    if (name.find_first_of("/\\:") != std::string::npos)
        return ManifestFault::NamesPath;
    const int file = ImageNamed(name);
    if (file < 0)
        return ManifestFault::None;
    if (!manifest.sha256[file].empty())
        return ManifestFault::Twice;
    manifest.sha256[file] = digest;
    return ManifestFault::None;
}

} // namespace

ImageManifest ParseManifest(const std::string& bytes) {
    ImageManifest manifest;
    if (bytes.size() > MANIFEST_MAX_BYTES) {
        manifest.fault = ManifestFault::TooLarge;
        return manifest;
    }
    std::size_t at = bytes.compare(0, 3, UTF8_BOM) == 0 ? 3 : 0;
    for (unsigned number = 1; at < bytes.size(); ++number) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        const ManifestFault fault = ParseLine(line, manifest);
        if (fault != ManifestFault::None) {
            manifest.fault = fault;
            manifest.faultLine = number;
            manifest.sha256 = {};
            return manifest;
        }
    }
    return manifest;
}

std::string ManifestLine(const std::string& sha256Hex, const char* name) {
    return sha256Hex + " *" + name + "\n";
}
