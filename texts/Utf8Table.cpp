#include "texts/Utf8Table.h"

#include "system/UniqueHandle.h"

#include <windows.h>

#include <cstring>

namespace {

// A text table is a few kilobytes. A bigger file is left to the system's reader, as every file was before
// tables in UTF-8 were read.
constexpr DWORD TABLE_READ_LIMIT = 1024 * 1024;

constexpr char UTF8_MARK[] = "\xEF\xBB\xBF";
constexpr std::size_t UTF8_MARK_SIZE = 3;

// Length of the UTF-8 sequence at `i` (1 for ASCII), or 0 when the bytes there are no well-formed sequence:
// no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t Utf8SequenceAt(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > s.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trimmed(const std::string& s) {
    std::size_t first = 0, last = s.size();
    while (first < last && IsBlank(s[first]))
        ++first;
    while (last > first && IsBlank(s[last - 1]))
        --last;
    return s.substr(first, last - first);
}

// Names are compared as the system's reader compares them: without regard to case.
bool SameName(const std::string& a, const char* b) {
    const std::size_t length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The value of `key` in the first section named `section`, read the way the system's profile reader reads
// it: blanks around names and values dropped, one pair of enclosing quotation marks taken off.
std::optional<std::string> ProfileValue(const std::string& text, const char* section, const char* key) {
    bool inSection = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line[0] == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::string::npos) {
                if (inSection)
                    return std::nullopt; // the key is looked for in the first such section only
                inSection = SameName(Trimmed(line.substr(1, close - 1)), section);
                continue;
            }
        }
        const std::size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos || !SameName(Trimmed(line.substr(0, equals)), key))
            continue;
        std::string value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

// `utf8` in the PC's ANSI code page. A letter the code page lacks becomes the system's replacement
// character rather than a look-alike, so that what shows is plainly a stand-in. Where the ANSI code page is
// UTF-8 itself (Windows' "Unicode UTF-8 for worldwide language support"), the value is what the program uses
// as it stands: the conversion would refuse the flag, and every text would come out empty.
std::string ToAnsi(const std::string& utf8) {
    if (utf8.empty() || ::GetACP() == CP_UTF8)
        return utf8;
    const int utf8Length = static_cast<int>(utf8.size());
    const int wideLength = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Length, nullptr, 0);
    if (wideLength <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Length, &wide[0], wideLength);
    const int ansiLength = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                                 nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0)
        return {};
    std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, &ansi[0], ansiLength,
                          nullptr, nullptr);
    return ansi;
}

// Copies `text` (in the ANSI code page) into `out` (capacity `cb` > 0), cut to fit at a whole character: a
// double-byte letter of an East Asian code page, or a letter of a UTF-8 code page, is never split.
void CopyCut(const std::string& text, char* out, std::size_t cb) {
    const bool utf8 = ::GetACP() == CP_UTF8;
    std::size_t length = 0;
    while (length < text.size()) {
        const auto byte = static_cast<BYTE>(text[length]);
        std::size_t next = length + (utf8 || !::IsDBCSLeadByte(byte) ? 1 : 2);
        while (utf8 && next < text.size() && (static_cast<BYTE>(text[next]) & 0xC0) == 0x80)
            ++next;
        if (next > cb - 1 || next > text.size())
            break;
        length = next;
    }
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

} // namespace

std::optional<std::string> ReadTableBytes(const char* tablePath) {
    // Shared every way: an editor that holds the file open must not keep the program from its texts.
    UniqueHandle file(::CreateFileA(tablePath, GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > TABLE_READ_LIMIT)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        !::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        return std::nullopt;
    bytes.resize(read);
    return bytes;
}

// Notepad saves UTF-8 without a mark. A file in an 8-bit code page that uses any letter above ASCII is
// almost never well-formed UTF-8 as well (an accented letter is followed by a plain one), and plain ASCII
// reads the same either way, so it stays with the system's reader.
bool IsUtf8Table(const std::string& bytes) {
    if (StartsWithUtf8Mark(bytes))
        return true;
    bool multiByte = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceAt(bytes, i);
        if (length == 0)
            return false;
        multiByte = multiByte || length > 1;
        i += length;
    }
    return multiByte;
}

bool StartsWithUtf8Mark(const std::string& bytes) {
    return bytes.compare(0, UTF8_MARK_SIZE, UTF8_MARK) == 0;
}

void LookupUtf8Table(const std::string& bytes, const char* section, const char* key, char* out,
                     std::size_t cb) {
    const std::size_t skip = StartsWithUtf8Mark(bytes) ? UTF8_MARK_SIZE : 0;
    if (const std::optional<std::string> value = ProfileValue(bytes.substr(skip), section, key))
        CopyCut(ToAnsi(*value), out, cb);
}
