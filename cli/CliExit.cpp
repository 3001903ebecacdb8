#include "cli/CliExit.h"

#include "cli/JsonEvents.h"

#include <cstdarg>
#include <cstdio>

int CliFail(int code, const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fflush(stdout);
    std::fprintf(stderr, "NimbrelCli: %s\n", text);
    if (JsonEvents* json = JsonEvents::Active())
        json->Error(text, code);
    return code;
}
