// The JSON Lines of NimbrelCli --json, each line parsed by the JSON library: a line that is not one whole
// JSON object with "event" and "run" fails the calling test.
#pragma once

#include "tests/support/CliProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

using Json = nlohmann::json;

inline std::vector<Json> JsonLines(const CliProcess& cli) {
    std::vector<Json> events;
    std::istringstream out(cli.Output());
    for (std::string line; std::getline(out, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const Json event = Json::parse(line, nullptr, false);
        EXPECT_TRUE(event.is_object()) << "not a JSON object: " << line;
        if (!event.is_object())
            continue;
        EXPECT_TRUE(event.contains("event") && event.contains("run")) << line;
        events.push_back(event);
    }
    return events;
}

// The events named `name`, in order.
inline std::vector<Json> EventsNamed(const std::vector<Json>& events, const std::string& name) {
    std::vector<Json> named;
    for (const Json& event : events)
        if (event.value("event", "") == name)
            named.push_back(event);
    return named;
}

// The run id of a history line ("<date> <time> run=<id> ..."), or "" when it has none.
inline std::string HistoryRunId(const std::string& line) {
    const std::size_t at = line.find(" run=");
    if (at == std::string::npos || at != 19)
        return {};
    return line.substr(at + 5, line.find(' ', at + 5) - at - 5);
}
