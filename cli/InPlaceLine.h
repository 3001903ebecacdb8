#pragma once

#include <cstddef>
#include <string>

// One line of the console that is rewritten in place (how long the program has waited, a device's progress),
// so that a bench of many devices keeps a short screen. Only for a console: a file or a pipe gets plain
// lines.
class InPlaceLine {
public:
    // Puts `text` over what the line showed.
    void Show(const std::string& text);
    // Puts `text` over what the line showed and ends the line: the next Show starts a new one.
    void Close(const std::string& text);
    // Whether the line shows something that no new line has ended yet.
    bool IsOpen() const { return m_width > 0; }

private:
    void Put(const std::string& text);

    std::size_t m_width = 0; // what the line shows now, to be blanked by a shorter text
};
