#pragma once

#include "cli/InPlaceLine.h"
#include "engine/ImageTransfer.h"

#include <cstdint>
#include <cstdio>
#include <string>

// The sender's progress on standard output: on a console one line that updates in place, otherwise the plain
// percentage at every tenth of the image, on one line, so that a log reads cleanly.
class ConsoleProgress final : public ImageSendUi {
public:
    // `payload`: the bytes the sender will write after the command.
    ConsoleProgress(std::uint32_t payload, std::string sentText);
    // On a console only: the progress goes onto `line` behind `label` (a device's one line of --each), and
    // the line stays open for what follows.
    ConsoleProgress(std::uint32_t payload, InPlaceLine& line, std::string label);
    ~ConsoleProgress() override;

    void DisableUpdateButton() override {}
    void SetProgressPos(int pos) override;
    void ShowResultText(const char* text) override;

    // Whether standard output is a console (rather than a file or a pipe).
    static bool OutputIsConsole();

private:
    void Show(unsigned percent);

    std::uint32_t m_payload;
    std::string m_sentText;
    InPlaceLine* m_pLine = nullptr;
    std::string m_label;
    bool m_console;
    int m_shown = -1;
    bool m_lineOpen = false;
};
