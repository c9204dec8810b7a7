#include "toolkit/option_table.h"

#include <cstring>

namespace animconv {
namespace {

// Help asked for otherwise than by --help or -h: -? everywhere, and the ways of Windows' own tools there,
// /? and /help in any case (on POSIX systems /help is a file name).
bool asksForHelpOtherwise(const char* argument) {
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

// The row an argument ending the parse names whole (--help, -h, --version, -V), or none.
OptionsResult endNamed(const std::vector<OptionSpelling>& rows, const char* argument) {
    if (asksForHelpOtherwise(argument)) {
        return OptionsResult::help;
    }
    for (const OptionSpelling& row : rows) {
        const bool named =
            (std::strncmp(argument, "--", 2) == 0 && std::strcmp(argument + 2, row.longName) == 0) ||
            (row.shortName != 0 && argument[0] == '-' && argument[1] == row.shortName && argument[2] == '\0');
        if (row.ends != OptionsResult::run && named) {
            return row.ends;
        }
    }
    return OptionsResult::run;
}

OptionsResult refused(std::string& error, const std::string& reason) {
    error = reason;
    return OptionsResult::usageError;
}

}  // namespace

OptionsResult readOptions(int argc, char** argv, const std::vector<OptionSpelling>& rows,
                          const OptionHandler& handle, std::vector<const char*>& operands,
                          std::string& error) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const OptionsResult ends = endNamed(rows, argv[i]);
        if (ends != OptionsResult::run) {
            return ends;
        }
    }
    // The row's action, or its end; `value` is the next argument's place when the option takes it from there.
    const auto take = [&](std::size_t row, const char* value, const std::string& written) {
        if (rows[row].ends != OptionsResult::run) {
            return rows[row].ends;
        }
        return handle(row, value, written) ? OptionsResult::run : OptionsResult::usageError;
    };
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const char* const argument = argv[i];
        if (argument[0] != '-' || argument[1] == '\0') {
            operands.push_back(argument);
            continue;
        }
        OptionsResult result = OptionsResult::run;
        if (argument[1] == '-') {
            const char* const equals = std::strchr(argument, '=');
            const std::string written =
                equals != nullptr ? std::string(argument, static_cast<std::size_t>(equals - argument))
                                  : argument;
            std::size_t row = 0;
            while (row < rows.size() && written.compare(2, std::string::npos, rows[row].longName) != 0) {
                ++row;
            }
            if (row == rows.size()) {
                return refused(error, _("unrecognized option '") + written + "'");
            }
            if (!rows[row].takesValue) {
                if (equals != nullptr) {
                    return refused(error, _("option '") + written + _("' takes no value"));
                }
                result = take(row, nullptr, written);
            } else if (equals != nullptr) {
                result = take(row, equals + 1, written);
            } else if (i + 1 < argc) {
                result = take(row, argv[++i], written);
            } else {
                return refused(error, _("option '") + written + _("' needs a value"));
            }
        } else {
            // A bundle of short options: flags, then perhaps one that takes the rest or the next argument.
            for (const char* name = argument + 1; *name != '\0' && result == OptionsResult::run; ++name) {
                const std::string written = std::string("-") + *name;
                std::size_t row = 0;
                while (row < rows.size() && rows[row].shortName != *name) {
                    ++row;
                }
                if (row == rows.size()) {
                    return refused(error, _("invalid option '-") + std::string(1, *name) + "'");
                }
                if (!rows[row].takesValue) {
                    result = take(row, nullptr, written);
                    continue;
                }
                if (name[1] != '\0') {
                    result = take(row, name + 1, written);
                } else if (i + 1 < argc) {
                    result = take(row, argv[++i], written);
                } else {
                    return refused(error, _("option '") + written + _("' needs a value"));
                }
                break;
            }
        }
        if (result != OptionsResult::run) {
            return result;
        }
    }
    for (++i; i < argc; ++i) {
        operands.push_back(argv[i]);
    }
    return OptionsResult::run;
}

}  // namespace animconv
