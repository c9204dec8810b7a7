// A program's option table as getopt_long takes it, for the programs that read their command line with it
// (animdump, animmake). Each table entry has `longName`, `shortName` (0 for a long-only option) and
// `takesValue`.
#pragma once

#include <getopt.h>

#include <cstddef>
#include <string>
#include <vector>

namespace animconv {

// A short option answers with its letter, a long-only one with kLongOnly plus its place in the table. The
// leading ':' of the short options reports a missing value apart from an unknown option.
struct GetoptTable {
    static constexpr int kLongOnly = 256;
    std::vector<option> longOptions;
    std::string shortOptions = ":";

    template <typename Entry, std::size_t kCount>
    explicit GetoptTable(const Entry (&entries)[kCount]) {
        for (std::size_t i = 0; i < kCount; ++i) {
            const Entry& entry = entries[i];
            const int code = entry.shortName != 0 ? entry.shortName : kLongOnly + static_cast<int>(i);
            longOptions.push_back(
                {entry.longName, entry.takesValue ? required_argument : no_argument, nullptr, code});
            if (entry.shortName != 0) {
                shortOptions += entry.shortName;
                shortOptions += entry.takesValue ? ":" : "";
            }
        }
        longOptions.push_back({nullptr, 0, nullptr, 0});
    }
};

}  // namespace animconv
