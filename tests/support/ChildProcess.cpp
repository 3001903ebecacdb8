#include "tests/support/ChildProcess.h"

#include <cstdio>
#include <vector>

BOOL CreateChildProcess(const char* application, std::string commandLine, BOOL inheritHandles, DWORD flags,
                        const char* currentDirectory, STARTUPINFOA& startup, PROCESS_INFORMATION& info) {
    for (int attempt = 1;; ++attempt) {
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        if (::CreateProcessA(application, line.data(), nullptr, nullptr, inheritHandles, flags, nullptr,
                             currentDirectory, &startup, &info))
            return TRUE;
        const DWORD error = ::GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 2) {
            ::SetLastError(error);
            return FALSE;
        }
        std::fprintf(stderr,
                     "note: the system could not create the process of %s (error %lu); starting it again\n",
                     commandLine.c_str(), error);
        ::Sleep(100);
    }
}
