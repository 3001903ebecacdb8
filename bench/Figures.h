// Times in milliseconds gathered over repeated runs, printed as their median and range.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct Figures {
    std::vector<std::int64_t> values;
    void Add(std::int64_t value) { values.push_back(value); }
    std::int64_t Median() {
        std::sort(values.begin(), values.end());
        return values.empty() ? 0 : values[values.size() / 2];
    }
    std::string Text() {
        if (values.empty())
            return "-";
        const std::int64_t median = Median();
        char text[96];
        std::snprintf(text, sizeof(text), "%6lld ms  (%lld to %lld)", static_cast<long long>(median),
                      static_cast<long long>(values.front()), static_cast<long long>(values.back()));
        return text;
    }
};
