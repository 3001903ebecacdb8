#include "engine/ImageFormat.h"

#include "system/Paths.h"
#include "system/UniqueHandle.h"

#include <cstdio>
#include <limits>
#include <utility>

const char* const IMAGE_FILE_NAMES[IMAGE_FILE_COUNT] = {"firm.zpk", "sf_pcmimgcdb1.zpk", "sf_pcmimgcdb2.zpk",
                                                        "sf_pcmimgcdb3.zpk"};
const char* const IMAGE_FILE_SUFFIXES[IMAGE_FILE_COUNT] = {"\\firm.zpk", "\\sf_pcmimgcdb1.zpk",
                                                           "\\sf_pcmimgcdb2.zpk", "\\sf_pcmimgcdb3.zpk"};

namespace {

UniqueHandle OpenExisting(const char* path, DWORD share) {
    return UniqueHandle(
        ::CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

std::array<std::string, IMAGE_FILE_COUNT> BuildImagePaths() {
    std::array<std::string, IMAGE_FILE_COUNT> paths;
    char directory[PATH_BUFFER_SIZE];
    const DWORD length = ::GetCurrentDirectoryA(PATH_BUFFER_SIZE, directory);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        return paths;
    for (int i = 0; i < IMAGE_FILE_COUNT; ++i) {
        // A path that does not fit is left empty, never cut: a cut path could name some other file.
        char path[PATH_BUFFER_SIZE];
        const int needed = std::snprintf(path, sizeof(path), "%s%s", directory, IMAGE_FILE_SUFFIXES[i]);
        if (needed >= 0 && static_cast<DWORD>(needed) < PATH_BUFFER_SIZE)
            paths[i] = path;
    }
    return paths;
}

LeadBlock ReadLeadBlock(const char* path, LeadAllocator allocate, ImageReader reader) {
    LeadBlock lead;
    UniqueHandle file = OpenExisting(
        path, reader == ImageReader::Report ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0);
    if (!file.IsValid()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
            lead.result = LeadRead::InUse;
        return lead;
    }
    lead.data = allocate(IMAGE_LEAD_SIZE);
    if (!lead.data) {
        lead.result = LeadRead::NoMemory;
        return lead;
    }
    lead.result = LeadRead::Read;
    lead.opened = true;
    DWORD read = 0;
    if (::ReadFile(file.Get(), lead.data.get(), IMAGE_LEAD_SIZE, &read, nullptr))
        lead.count = read;
    return lead;
}

bool LeadBlockIsWhole(const LeadBlock& lead) {
    return lead.opened && lead.count == IMAGE_LEAD_SIZE;
}

bool StartsWithMark(const LeadBlock& lead) {
    return LeadBlockIsWhole(lead) && lead.data.get()[0] == IMAGE_MARK;
}

bool IsMarkedForSending(const LeadBlock& lead) {
    return LeadBlockIsWhole(lead) && lead.data.get()[1] != 0;
}

bool LoadWholeImage(const char* path, CHeapBuffer& data, std::uint32_t& cb) {
    data.reset();
    cb = 0;
    UniqueHandle file = OpenExisting(path, FILE_SHARE_READ);
    if (!file.IsValid())
        return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<ULONGLONG>(size.QuadPart) > std::numeric_limits<std::uint32_t>::max())
        return false;
    const auto expected = static_cast<std::uint32_t>(size.QuadPart);
    CHeapBuffer buffer = AllocateCHeap(expected);
    if (!buffer)
        return false;
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer.get(), expected, &read, nullptr) || read != expected)
        return false;
    data = std::move(buffer);
    cb = expected;
    return true;
}
