#include "animdump/dump_options.h"

#include <cstring>

namespace animdump {
namespace {

constexpr std::uint32_t kLargestDelayScale = 1000 * 1000;  // a factor of 1000
constexpr std::size_t kLargestFrameNumber = 1000 * 1000 * 1000;

enum class Option { none, gif, png, delayScale, show, play, help, version };

struct OptionName {
    const char* longName;
    char shortName;
    Option option;
    bool takesValue;
};

constexpr OptionName kOptions[] = {
    {"gif", 'g', Option::gif, true},
    {"png", 'p', Option::png, true},
    {"delay-scale", 'd', Option::delayScale, true},
    {"show", 's', Option::show, true},
    {"play", '\0', Option::play, false},  // long form only
    {"help", 'h', Option::help, false},
    {"version", 'V', Option::version, false},
};

const OptionName* findLong(const char* name, std::size_t length) {
    for (const OptionName& candidate : kOptions) {
        if (std::strlen(candidate.longName) == length &&
            std::strncmp(candidate.longName, name, length) == 0) {
            return &candidate;
        }
    }
    return nullptr;
}

const OptionName* findShort(char name) {
    for (const OptionName& candidate : kOptions) {
        if (candidate.shortName == name) {
            return &candidate;
        }
    }
    return nullptr;
}

// A decimal factor with at most three decimals, such as 2, 0.5 or 1.25, in thousandths.
bool parseScale(const char* text, std::uint32_t& thousandths) {
    std::uint64_t value = 0;
    bool digits = false;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<std::uint64_t>(*p - '0');
        digits = true;
        if (value > kLargestDelayScale) {
            return false;
        }
    }
    value *= 1000;
    if (*p == '.') {
        ++p;
        std::uint64_t unit = 100;
        for (; *p >= '0' && *p <= '9'; ++p) {
            if (unit == 0) {
                return false;
            }
            value += static_cast<std::uint64_t>(*p - '0') * unit;
            unit /= 10;
            digits = true;
        }
    }
    if (!digits || *p != '\0' || value > kLargestDelayScale) {
        return false;
    }
    thousandths = static_cast<std::uint32_t>(value);
    return true;
}

bool parseFrameNumber(const char* text, std::size_t& number) {
    std::size_t value = 0;
    if (*text == '\0') {
        return false;
    }
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::size_t>(*p - '0');
        if (value > kLargestFrameNumber) {
            return false;
        }
    }
    number = value;
    return value >= 1;
}

OptionsResult usageError(std::string& error, const std::string& reason) {
    error = reason;
    return OptionsResult::usageError;
}

}  // namespace

OptionsResult parseDumpOptions(int count, const char* const* arguments, DumpOptions& options,
                               std::string& error) {
    bool optionsEnded = false;
    bool delayScaleGiven = false;
    for (int i = 0; i < count; ++i) {
        const char* argument = arguments[i];
        if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
            if (options.streamPath != nullptr) {
                return usageError(error, std::string("extra operand '") + argument + "'");
            }
            options.streamPath = argument;
            continue;
        }
        if (std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        const OptionName* option = nullptr;
        const char* value = nullptr;
        std::string shownName;
        if (argument[1] == '-') {
            const char* name = argument + 2;
            const char* equals = std::strchr(name, '=');
            const std::size_t nameLength =
                equals != nullptr ? static_cast<std::size_t>(equals - name) : std::strlen(name);
            option = findLong(name, nameLength);
            shownName = std::string("--") + std::string(name, nameLength);
            if (option == nullptr) {
                return usageError(error, "unrecognized option '" + shownName + "'");
            }
            if (equals != nullptr) {
                if (!option->takesValue) {
                    return usageError(error, "option '" + shownName + "' takes no value");
                }
                value = equals + 1;
            }
        } else {
            option = findShort(argument[1]);
            shownName = std::string("-") + argument[1];
            if (option == nullptr) {
                return usageError(error, "invalid option '" + shownName + "'");
            }
            if (argument[2] != '\0') {
                if (!option->takesValue) {
                    return usageError(error, "option '" + shownName + "' takes no value");
                }
                value = argument + 2;
            }
        }
        if (option->takesValue && value == nullptr) {
            if (i + 1 == count) {
                return usageError(error, "option '" + shownName + "' needs a value");
            }
            value = arguments[++i];
        }
        switch (option->option) {
            case Option::help:
                return OptionsResult::help;
            case Option::version:
                return OptionsResult::version;
            case Option::gif:
                if (options.gifPath != nullptr) {
                    return usageError(error, "option '" + shownName + "' given twice");
                }
                options.gifPath = value;
                break;
            case Option::png:
                if (options.pngFolder != nullptr) {
                    return usageError(error, "option '" + shownName + "' given twice");
                }
                options.pngFolder = value;
                break;
            case Option::delayScale:
                if (delayScaleGiven) {
                    return usageError(error, "option '" + shownName + "' given twice");
                }
                if (!parseScale(value, options.delayScale)) {
                    return usageError(error, std::string("invalid delay scale '") + value +
                                                 "' (a number from 0 to 1000 with at most 3 decimals)");
                }
                delayScaleGiven = true;
                break;
            case Option::show:
                if (options.showFrame != 0) {
                    return usageError(error, "option '" + shownName + "' given twice");
                }
                if (!parseFrameNumber(value, options.showFrame)) {
                    return usageError(error, std::string("invalid frame number '") + value + "' (1 or more)");
                }
                break;
            case Option::play:
                options.play = true;
                break;
            case Option::none:
                break;
        }
    }
    if (options.streamPath == nullptr) {
        return usageError(error, "missing FILE operand");
    }
    if (delayScaleGiven && options.gifPath == nullptr && !options.play) {
        return usageError(error, "option '--delay-scale' needs '--gif' or '--play'");
    }
    return OptionsResult::run;
}

std::string helpText() {
    return "Usage: animdump [OPTION]... FILE\n"
           "Check an animation stream written by animconv, list its frames and optionally\n"
           "render them as an animated GIF, as PNG images or on a 256-colour terminal.\n"
           "\n"
           "  -g, --gif=OUT.gif         write all frames as one animated GIF\n"
           "  -d, --delay-scale=FACTOR  GIF and --play delay = wait byte x FACTOR hundredths\n"
           "                            of a second (default 1; 0 to 1000, at most 3 decimals)\n"
           "  -p, --png=DIR             write frame-0001.png, frame-0002.png, ... into DIR\n"
           "                            (DIR is created when missing)\n"
           "  -s, --show=N              draw frame N (from 1) on the terminal after the table\n"
           "      --play                play the frames in a loop on a 256-colour terminal of\n"
           "                            190x85 or more until q or Ctrl-C (each frame at least\n"
           "                            0.01 s)\n"
           "  -h, --help                show this help and exit\n"
           "  -V, --version             show the version and exit\n"
           "\n"
           "The table has one row per frame: number, byte offset, bytes, run records,\n"
           "unchanged pixels (0xFE) and wait byte, then the totals and a verdict line,\n"
           "\"valid\" or \"invalid: \" with the frame, its byte offset and the problem.\n"
           "Images are written only for a valid stream.\n"
           "\n"
           "Exit status: 0 valid stream (and every image written), 1 invalid stream,\n"
           "2 usage error, unreadable FILE or unwritable output.\n";
}

std::string versionText() {
    return "animdump " ANIMCONV_VERSION "\n";
}

}  // namespace animdump
