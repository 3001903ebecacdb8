// The update history of the programs a test starts: NIMBREL_HISTORY_DIR names a folder of the test's own
// while the object lives, and its lines are read back.
#pragma once

#include <windows.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

class HistoryFolder {
public:
    explicit HistoryFolder(const std::string& path) : m_path(path) {
        // Temporary folders are named after process ids, which come round again in every test run: lines an
        // earlier run left must not reach this test.
        ::DeleteFileA(File().c_str());
        ::SetEnvironmentVariableA("NIMBREL_HISTORY_DIR", m_path.c_str());
    }
    ~HistoryFolder() { ::SetEnvironmentVariableA("NIMBREL_HISTORY_DIR", nullptr); }
    HistoryFolder(const HistoryFolder&) = delete;
    HistoryFolder& operator=(const HistoryFolder&) = delete;

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::ifstream in(File());
        for (std::string line; std::getline(in, line);)
            if (!line.empty())
                lines.push_back(line);
        return lines;
    }

private:
    std::string File() const { return m_path + "\\history.log"; }

    std::string m_path;
};

// Whether a history line matches `pattern` (a regular expression) after its time stamp and its run's id
// (which the lines of an update run have).
inline bool HistoryLineMatches(const std::string& line, const std::string& pattern) {
    return std::regex_match(
        line, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (run=[0-9a-z]+-[0-9a-z]+ )?)" + pattern));
}
