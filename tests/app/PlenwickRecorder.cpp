// Stands in for the companion tool in the window tests: each start appends one line, the folder it was
// started from, to plenwick-launches.txt beside itself, and ends without showing anything.
#include "framework/Paths.h"

#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string self = ProgramFilePath();
    const std::string log = FolderOfPath(self) + "plenwick-launches.txt";
    if (std::FILE* out = std::fopen(log.c_str(), "a")) {
        std::fprintf(out, "%s\n", self.c_str());
        std::fclose(out);
    }
    return 0;
}
