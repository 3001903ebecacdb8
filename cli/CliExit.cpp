#include "cli/CliExit.h"

#include <cstdarg>
#include <cstdio>

int CliFail(int code, const char* format, ...) {
    std::fflush(stdout);
    std::fputs("NimbrelCli: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputs("\n", stderr);
    return code;
}
