#include "tests/app/WindowTestSupport.h"

#include "tests/support/WindowDriver.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace windowtest {

Bytes MakeImage(std::size_t size, std::uint8_t seed, std::uint8_t sendFlag, std::uint8_t mark) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<std::uint8_t>((i * 31 + seed * 97 + (i >> 8)) & 0xFF);
    if (size > 0)
        image[0] = mark;
    if (size > 1)
        image[1] = sendFlag;
    return image;
}

Bytes Command(const Bytes& image) {
    return Bytes(image.begin(), image.begin() + 20);
}

Bytes Payload(const Bytes& image) {
    return Bytes(image.begin() + 1024, image.end());
}

std::string NewFolder(const std::string& name, std::size_t minLength) {
    static std::atomic<unsigned> counter{0};
    std::string path = WindowDriver::ExeDir() + "window-work";
    ::CreateDirectoryA(path.c_str(), nullptr);
    path += "\\" + name + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
    // Process ids come round again in every test run: what an earlier run left under the same name (a tool's
    // launch log, a library's open count) must not reach this test.
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    ::CreateDirectoryA(path.c_str(), nullptr);
    while (path.size() < minLength) {
        const std::size_t room = minLength - path.size() - 1; // one for the backslash
        const std::size_t part = room > 100 ? 100 : room;
        if (part == 0)
            break;
        path += "\\" + std::string(part, 'd');
        ::CreateDirectoryA(path.c_str(), nullptr);
    }
    return path;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

bool CopyBeside(const std::string& fromName, const std::string& toPath) {
    return ::CopyFileA((WindowDriver::ExeDir() + fromName).c_str(), toPath.c_str(), FALSE) != FALSE;
}

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

std::string NewImageFolder(const std::string& name, std::size_t minLength) {
    const std::string folder = NewFolder(name, minLength);
    CopyBeside("PlenwickRecorder.exe", folder + "\\Plenwick.exe");
    return folder;
}

std::vector<std::string> ToolLaunches(const std::string& imageFolder) {
    return ReadLines(imageFolder + "\\plenwick-launches.txt");
}

std::string LangText(const char* section, const char* key) {
    char text[260] = {};
    ::GetPrivateProfileStringA(section, key, "", text, sizeof(text),
                               (WindowDriver::ExeDir() + "lang.ini").c_str());
    return text;
}

} // namespace windowtest
