#pragma once

#include <string>
#include <utility>

// The stage and result texts of the console updater: from the text table when it has the entry, else the
// built-in English one.
class CliTexts {
public:
    explicit CliTexts(std::string tablePath) : m_tablePath(std::move(tablePath)) {}

    // [message] key; `key` is one of the stage text keys or the image-sent key.
    std::string Message(const char* key) const;

private:
    std::string m_tablePath;
};
