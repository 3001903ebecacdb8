#include "cli/ConsoleProgress.h"

#include "engine/TransferState.h"

#include <windows.h>

namespace {

constexpr unsigned REDIRECTED_STEP = 10; // percent between two lines when the output is not a console

} // namespace

ConsoleProgress::ConsoleProgress(std::uint32_t payload, std::string sentText)
    : m_payload(payload), m_sentText(std::move(sentText)), m_console(OutputIsConsole()) {}

ConsoleProgress::ConsoleProgress(std::uint32_t payload, InPlaceLine& line, std::string label)
    : m_payload(payload), m_pLine(&line), m_label(std::move(label)), m_console(true) {}

ConsoleProgress::~ConsoleProgress() {
    // A transfer that stopped half-way leaves the line open: close it before anything else is printed.
    if (m_lineOpen)
        std::printf("\n");
    std::fflush(stdout);
}

bool ConsoleProgress::OutputIsConsole() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
}

void ConsoleProgress::SetProgressPos(int /*pos*/) {
    // The bar's position follows the window's rule (it may pass 100 for small images); a console shows the
    // true share of the payload that the device has taken.
    const std::uint64_t sent = g_cbSent;
    Show(m_payload == 0 ? 100 : static_cast<unsigned>(sent * 100 / m_payload));
}

void ConsoleProgress::Show(unsigned percent) {
    if (m_pLine) {
        if (static_cast<int>(percent) == m_shown)
            return;
        char figures[64];
        std::snprintf(figures, sizeof(figures), "  %3u%%", percent);
        m_pLine->Show(m_label + figures);
    } else if (m_console) {
        if (static_cast<int>(percent) == m_shown)
            return;
        std::printf("\r      %3u%%  %lu of %lu bytes", percent, static_cast<unsigned long>(g_cbSent),
                    static_cast<unsigned long>(m_payload));
        m_lineOpen = true;
    } else {
        // Steps of a tenth on one line, each printed once: a log shows how far the transfer came.
        const unsigned step = percent / REDIRECTED_STEP * REDIRECTED_STEP;
        if (static_cast<int>(step) <= m_shown || step == 0)
            return;
        percent = step;
        std::printf("%s%u%%", m_lineOpen ? " " : "      ", percent);
        m_lineOpen = true;
    }
    m_shown = static_cast<int>(percent);
    std::fflush(stdout);
}

void ConsoleProgress::ShowResultText(const char* /*text*/) {
    if (m_pLine)
        return; // the device's line goes on with the next image, or ends with the device's outcome
    // The sender looked its text up beside the program; the console's own table (--lang) has the say.
    if (m_lineOpen) {
        std::printf("  %s\n", m_sentText.c_str());
        m_lineOpen = false;
    } else {
        std::printf("      %s\n", m_sentText.c_str());
    }
    std::fflush(stdout);
}
