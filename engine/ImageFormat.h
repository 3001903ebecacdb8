#pragma once

#include "system/CHeapBuffer.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

// An image file: a 1024-byte header, then the payload to the end of the file. The first 20 header bytes are
// the image command that announces the image to the device; bytes 20 to 1023 never leave the program.
constexpr UINT IMAGE_HEADER_SIZE = 1024;
constexpr UINT IMAGE_LEAD_SIZE = 1028; // header plus the first 4 payload bytes: what the checks read
constexpr UINT IMAGE_COMMAND_SIZE = 20;
constexpr BYTE IMAGE_MARK = 0x25;       // '%', byte 0 of every image
constexpr UINT IMAGE_CHUNK_SIZE = 2048; // largest payload write

// The four image files, in the order of their names' table (the update sequence picks its own stage order).
enum ImageFile { IMAGE_FIRM, IMAGE_CDB1, IMAGE_CDB2, IMAGE_CDB3, IMAGE_FILE_COUNT };

// File names, and the suffixes appended to the current directory with "%s%s".
extern const char* const IMAGE_FILE_NAMES[IMAGE_FILE_COUNT];
extern const char* const IMAGE_FILE_SUFFIXES[IMAGE_FILE_COUNT];

// Full paths of the four image files in the current directory. A path is empty, and opens nothing, when the
// current directory cannot be had or the path would not fit in 259 characters.
std::array<std::string, IMAGE_FILE_COUNT> BuildImagePaths();

// What reading the front of an image file came to.
enum class LeadRead {
    NoFile, // the file could not be opened: the stage has no image
    InUse, // another program holds the file open (a sharing or lock violation): it is there, not readable now
    NoMemory, // the file opened but no buffer could be had: the image cannot be judged, which is no "no
              // image"
    Read,     // count and data hold what the file gave
};

// The front of an image file, read to judge it.
struct LeadBlock {
    LeadRead result = LeadRead::NoFile;
    bool opened = false; // true only when result is LeadRead::Read
    UINT count = 0;      // bytes read, at most IMAGE_LEAD_SIZE
    CHeapBuffer data;    // IMAGE_LEAD_SIZE bytes from the C heap
};

// Where the leading block's buffer comes from; tests put in one that fails.
using LeadAllocator = CHeapBuffer (*)(std::size_t cb);

// Who reads an image file. An update reads its leading block unshared, so that no other program changes it
// under the judgement; the support report shares read, write and delete, so that an update (or any other
// program) that opens the file meanwhile never finds it held.
enum class ImageReader { Update, Report };

// Opens the file read-only (unshared for an update) and only if it exists, reads up to IMAGE_LEAD_SIZE
// bytes, closes it.
LeadBlock ReadLeadBlock(const char* path, LeadAllocator allocate = AllocateCHeap,
                        ImageReader reader = ImageReader::Update);

// The leading block is whole (exactly IMAGE_LEAD_SIZE bytes); fewer means the file is too short.
bool LeadBlockIsWhole(const LeadBlock& lead);
// Byte 0 holds IMAGE_MARK; false too when the leading block is not whole.
bool StartsWithMark(const LeadBlock& lead);
// Byte 1 non-zero marks the image for sending; zero leaves it out without complaint. False too when the
// leading block is not whole.
bool IsMarkedForSending(const LeadBlock& lead);

// Loads the whole file into one C-heap buffer of its exact size in one synchronous read (read-only, read
// sharing allowed, only if it exists). Fails, leaving `data` empty, when the file cannot be opened, is 4 GiB
// or larger (its size does not fit the 32-bit count), no buffer can be had, or fewer bytes than the size
// arrive.
bool LoadWholeImage(const char* path, CHeapBuffer& data, std::uint32_t& cb);
