#include "cli/InPlaceLine.h"

#include <cstdio>

void InPlaceLine::Show(const std::string& text) {
    Put(text);
    std::fflush(stdout);
}

void InPlaceLine::Close(const std::string& text) {
    Put(text);
    std::printf("\n");
    std::fflush(stdout);
    m_width = 0;
}

void InPlaceLine::Put(const std::string& text) {
    const std::size_t blank = m_width > text.size() ? m_width - text.size() : 0;
    std::printf("\r%s%*s", text.c_str(), static_cast<int>(blank), "");
    if (blank > 0) // the cursor back behind the text, where a closing new line belongs
        std::printf("\r%s", text.c_str());
    m_width = text.size();
}
