#include "bench/BareChild.h"

#include "bench/BareLoop.h"
#include "system/Paths.h"
#include "system/UniqueHandle.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string OwnPath() {
    return ProgramFilePath();
}

} // namespace

int BareChildMain(const std::string& sizeArgument) {
    const TransferFigures figures =
        RunBareLoop(static_cast<std::uint32_t>(std::strtoul(sizeArgument.c_str(), nullptr, 10)));
    std::printf("BARE %d %.6f %llu %llu %llu\n", figures.ok ? 1 : 0, figures.seconds,
                static_cast<unsigned long long>(figures.bytes),
                static_cast<unsigned long long>(figures.peakWorkingSet),
                static_cast<unsigned long long>(figures.peakCommit));
    return figures.ok ? 0 : 1;
}

TransferFigures RunBareLoopInChild(std::uint32_t imageSize) {
    TransferFigures figures;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return figures;
    UniqueHandle output(readEnd);
    UniqueHandle childOutput(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    std::string commandLine = "\"" + OwnPath() + "\" --bare " + std::to_string(imageSize);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process))
        return figures;
    UniqueHandle child(process.hProcess);
    UniqueHandle childThread(process.hThread);
    childOutput.Reset(); // the read below ends when the child closes its end

    std::string text;
    char buffer[256];
    DWORD read = 0;
    while (::ReadFile(output.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    ::WaitForSingleObject(child.Get(), INFINITE);

    const std::size_t at = text.find("BARE ");
    if (at == std::string::npos)
        return figures;
    int ok = 0;
    unsigned long long bytes = 0, peakWorkingSet = 0, peakCommit = 0;
    if (std::sscanf(text.c_str() + at, "BARE %d %lf %llu %llu %llu", &ok, &figures.seconds, &bytes,
                    &peakWorkingSet, &peakCommit) == 5) {
        figures.ok = ok != 0;
        figures.bytes = bytes;
        figures.peakWorkingSet = peakWorkingSet;
        figures.peakCommit = peakCommit;
    }
    return figures;
}
