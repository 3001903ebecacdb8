// Stands in for the companion tool in the window tests: each start appends one line, the folder it was
// started from, to plenwick-launches.txt beside itself, and ends without showing anything.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string log(self);
    log = log.substr(0, log.find_last_of("\\/") + 1) + "plenwick-launches.txt";
    char current[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, current);
    if (std::FILE* out = std::fopen(log.c_str(), "a")) {
        std::fprintf(out, "%s\n", self);
        std::fclose(out);
    }
    return 0;
}
