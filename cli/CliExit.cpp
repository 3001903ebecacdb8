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
    CliFailAfterItsEvent(code, text);
    if (JsonEvents* json = JsonEvents::Active())
        json->Error(text, code);
    return code;
}

int CliFailAfterItsEvent(int code, const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "NimbrelCli: %s\n", text.c_str());
    return code;
}
