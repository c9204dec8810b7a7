// A program's option table as getopt_long takes it, and its rows of --help, for the programs that read their
// command line with it (animdump, animmake). Each table entry has `longName`, `shortName` (0 for a
// long-only option), `argument` (the value's name; none for a flag) and `help`.
#pragma once

#include <getopt.h>

#include <cstddef>
#include <string>
#include <vector>

#include "toolkit/translation.h"

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
                {entry.longName, entry.argument != nullptr ? required_argument : no_argument, nullptr, code});
            if (entry.shortName != 0) {
                shortOptions += entry.shortName;
                shortOptions += entry.argument != nullptr ? ":" : "";
            }
        }
        longOptions.push_back({nullptr, 0, nullptr, 0});
    }
};

// The options' rows of a --help text, in table order: "  -o, --output=STREAM", or "      --name" for a
// long-only one, then the help from `column` on (two spaces after a longer name), its later lines there.
// `helpOf(entry)` gives the help this build shows, or none to leave the row out (an option it cannot do),
// in English: the rows are in the user's language.
template <typename Entry, std::size_t kCount, typename HelpOf>
std::string optionRows(const Entry (&entries)[kCount], std::size_t column, const HelpOf& helpOf) {
    std::string rows;
    for (const Entry& entry : entries) {
        const char* const english = helpOf(entry);
        if (english == nullptr) {
            continue;
        }
        const char* const help = ::toolkit::translated(english);
        std::string row = "  ";
        row += entry.shortName != 0 ? std::string{'-', entry.shortName, ',', ' '} : std::string(4, ' ');
        row += std::string("--") + entry.longName;
        if (entry.argument != nullptr) {
            row += std::string("=") + entry.argument;
        }
        row.append(row.size() + 2 > column ? 2 : column - row.size(), ' ');
        for (const char* c = help; *c != '\0'; ++c) {
            row += *c;
            if (*c == '\n') {
                row.append(column, ' ');
            }
        }
        rows += row + "\n";
    }
    return rows;
}

template <typename Entry, std::size_t kCount>
std::string optionRows(const Entry (&entries)[kCount], std::size_t column) {
    return optionRows(entries, column, [](const Entry& entry) { return entry.help; });
}

// Help asked for otherwise than by --help or -h: -? everywhere, and the ways of Windows' own tools there,
// /? and /help in any case (on POSIX systems /help is a file name).
inline bool asksForHelpOtherwise(const char* argument) {
    const std::string text(argument);
    if (text == "-?") {
        return true;
    }
#ifdef _WIN32
    std::string folded = text;
    for (char& c : folded) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    }
    return folded == "/?" || folded == "/help";
#else
    return false;
#endif
}

}  // namespace animconv
