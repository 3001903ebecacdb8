// What the window tests share: a folder of their own for each program start, generated images, the texts of
// the shipped lang.ini, and a program folder with a chosen set of files beside Nimbrel.exe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace windowtest {

using Bytes = std::vector<std::uint8_t>;

// The image files by name.
constexpr const char FIRM[] = "firm.zpk";
constexpr const char CDB1[] = "sf_pcmimgcdb1.zpk";
constexpr const char CDB2[] = "sf_pcmimgcdb2.zpk";
constexpr const char CDB3[] = "sf_pcmimgcdb3.zpk";

// An image of `size` bytes: byte 0 `mark`, byte 1 the send flag, then bytes that depend on `seed` and their
// offset, so that every image of a test differs from the others.
Bytes MakeImage(std::size_t size, std::uint8_t seed, std::uint8_t sendFlag = 1, std::uint8_t mark = 0x25);
Bytes Command(const Bytes& image); // bytes 0 to 19
Bytes Payload(const Bytes& image); // bytes 1024 to the end

// A new empty folder below the test program's folder, unique to this process and call. `minLength` > 0 pads
// the path with nested folders until it is exactly that long (no trailing backslash).
std::string NewFolder(const std::string& name, std::size_t minLength = 0);
bool WriteFile(const std::string& path, const Bytes& bytes);
bool WriteText(const std::string& path, const std::string& text);
bool CopyBeside(const std::string& fromName, const std::string& toPath); // from the test program's folder
bool FileExists(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);

// A folder of images with the recorder standing in for Plenwick.exe.
std::string NewImageFolder(const std::string& name, std::size_t minLength = 0);
// Lines the recorder wrote: one per launch, its own path.
std::vector<std::string> ToolLaunches(const std::string& imageFolder);

// The text of [section] key in the lang.ini shipped beside the programs.
std::string LangText(const char* section, const char* key);

} // namespace windowtest
