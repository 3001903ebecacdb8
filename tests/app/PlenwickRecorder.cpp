// Stands in for the companion tool in the window tests: each start appends one line, its own path, to
// plenwick-launches.txt beside itself, and ends without showing anything. Wide calls, so that it notes its
// start from a folder too long for the ANSI calls as well.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring log = self.substr(0, self.find_last_of(L"\\/") + 1) + L"plenwick-launches.txt";
    char line[32768] = {};
    ::WideCharToMultiByte(CP_ACP, 0, self.c_str(), -1, line, sizeof line, nullptr, nullptr);
    if (std::FILE* out = ::_wfopen(log.c_str(), L"a")) {
        std::fprintf(out, "%s\n", line);
        std::fclose(out);
    }
    return 0;
}
