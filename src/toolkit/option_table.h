// The command line of animdump and animmake: one loop over a program's option table, and the table's rows
// of --help. Each table entry has `longName`, `shortName` (0 for a long-only option), `argument` (the
// value's name; none for a flag), `help` and `ends`.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/translation.h"

namespace animconv {

enum class OptionsResult { run, help, version, usageError };

// What the option loop needs of a row of a program's table.
struct OptionSpelling {
    const char* longName;
    char shortName;  // 0: long form only
    bool takesValue;
    OptionsResult ends;  // help or version: the row ends the parse instead
};

// Takes an option as it comes: its row, its value (nullptr for a flag) and the option as written ("-o",
// "--output"). False with the reason in the loop's `error` refuses it.
using OptionHandler = std::function<bool(std::size_t row, const char* value, const std::string& written)>;

// The one option loop of the tools. Options stand before, between and after the operands, until "--"; a
// long name is taken whole (an abbreviation is refused, so that a script keeps its meaning when an option
// is added) with its value after '=' or as the next argument; short flags bundle (-qf), and a short
// option's value follows it (-w5) or is the next argument. --help, --version and the other rows that end
// the parse win wherever they stand, as does help asked for otherwise. `operands` gets the operands in
// order; on usageError `error` holds the one-line reason.
OptionsResult readOptions(int argc, char** argv, const std::vector<OptionSpelling>& rows,
                          const OptionHandler& handle, std::vector<const char*>& operands,
                          std::string& error);

// The same for a program's table, whose entries have `longName`, `shortName`, `argument` (the value's name;
// none for a flag) and `ends`: `handle(entry, value, written)`.
template <typename Entry, std::size_t kCount, typename Handle>
OptionsResult readOptions(int argc, char** argv, const Entry (&entries)[kCount], const Handle& handle,
                          std::vector<const char*>& operands, std::string& error) {
    std::vector<OptionSpelling> rows;
    for (const Entry& entry : entries) {
        rows.push_back({entry.longName, entry.shortName, entry.argument != nullptr, entry.ends});
    }
    return readOptions(
        argc, argv, rows,
        [&](std::size_t row, const char* value, const std::string& written) {
            return handle(entries[row], value, written);
        },
        operands, error);
}

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

}  // namespace animconv
