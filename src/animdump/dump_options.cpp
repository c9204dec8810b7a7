#include "animdump/dump_options.h"

#include <cstring>
#include <vector>

#include "animdump/terminal_player.h"
#include "toolkit/option_table.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animdump {
namespace {

constexpr std::uint32_t kLargestDelayScale = 1000 * 1000;  // a factor of 1000
constexpr std::size_t kLargestFrameNumber = 1000 * 1000 * 1000;

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

// What the options have set so far.
struct Parse {
    DumpOptions& options;
    bool delayScaleGiven = false;
};

// One option: its names, the argument it takes (none: a flag), its --help text (lines after the first at
// the help column) and how its value lands (false with `error` set for a bad one). --help and --version
// end the parse instead.
struct OptionName {
    const char* longName;
    char shortName;  // 0: long form only
    const char* argument;
    const char* help;
    bool (*apply)(const char* value, const std::string& shown, Parse& parse, std::string& error);
    OptionsResult ends = OptionsResult::run;
};

constexpr std::size_t kHelpColumn = 28;

bool givenTwice(const std::string& shown, std::string& error) {
    error = _("option '") + shown + _("' given twice");
    return false;
}

const OptionName kOptions[] = {
    {"gif", 'g', "OUT.gif", N_("write all frames as one animated GIF"),
     [](const char* value, const std::string& shown, Parse& parse, std::string& error) {
         if (parse.options.gifPath != nullptr) {
             return givenTwice(shown, error);
         }
         parse.options.gifPath = value;
         return true;
     }},
    {"delay-scale", 'd', "FACTOR",
     N_("GIF and --play delay = wait byte x FACTOR hundredths\n"
        "of a second (default 1; 0 to 1000, at most 3 decimals)"),
     [](const char* value, const std::string& shown, Parse& parse, std::string& error) {
         if (parse.delayScaleGiven) {
             return givenTwice(shown, error);
         }
         if (!parseScale(value, parse.options.delayScale)) {
             error = std::string(_("invalid delay scale '")) + value +
                     _("' (a number from 0 to 1000 with at most 3 decimals)");
             return false;
         }
         parse.delayScaleGiven = true;
         return true;
     }},
    {"png", 'p', "DIR",
     N_("write frame-0001.png, frame-0002.png, ... into DIR\n"
        "(DIR is created when missing)"),
     [](const char* value, const std::string& shown, Parse& parse, std::string& error) {
         if (parse.options.pngFolder != nullptr) {
             return givenTwice(shown, error);
         }
         parse.options.pngFolder = value;
         return true;
     }},
    {"show", 's', "N", N_("draw frame N (from 1) on the terminal after the table"),
     [](const char* value, const std::string& shown, Parse& parse, std::string& error) {
         if (parse.options.showFrame != 0) {
             return givenTwice(shown, error);
         }
         if (!parseFrameNumber(value, parse.options.showFrame)) {
             error = std::string(_("invalid frame number '")) + value + _("' (1 or more)");
             return false;
         }
         return true;
     }},
    {"play", 0, nullptr,
     N_("play the frames in a loop on a 256-colour terminal of\n"
        "190x85 or more until q or Ctrl-C (each frame at least\n"
        "0.01 s)"),
     [](const char*, const std::string&, Parse& parse, std::string&) {
         parse.options.play = true;
         return true;
     }},
    {"help", 'h', nullptr, N_("show this help and exit"), nullptr, OptionsResult::help},
    {"version", 'V', nullptr, N_("show the version and exit"), nullptr, OptionsResult::version},
};

}  // namespace

OptionsResult parseDumpOptions(int argc, char** argv, DumpOptions& options, std::string& error) {
    Parse parse{options};
    std::vector<const char*> operands;
    const OptionsResult result = animconv::readOptions(
        argc, argv, kOptions,
        [&](const OptionName& option, const char* value, const std::string& written) {
            return option.apply(value, written, parse, error);
        },
        operands, error);
    if (result != OptionsResult::run) {
        return result;
    }
    if (operands.empty()) {
        error = _("missing FILE operand");
        return OptionsResult::usageError;
    }
    if (operands.size() > 1) {
        error = std::string(_("extra operand '")) + operands[1] + "'";
        return OptionsResult::usageError;
    }
    options.streamPath = operands[0];
    if (parse.delayScaleGiven && options.gifPath == nullptr && !options.play) {
        error = _("option '--delay-scale' needs '--gif' or '--play'");
        return OptionsResult::usageError;
    }
    return OptionsResult::run;
}

std::string helpText() {
    // Only what this build can do: --play where there is a player.
    const bool play = playerBuiltIn();
    const auto helpOf = [play](const OptionName& entry) -> const char* {
        if (!play && std::strcmp(entry.longName, "play") == 0) {
            return nullptr;
        }
        if (!play && std::strcmp(entry.longName, "delay-scale") == 0) {
            return N_(
                "GIF delay = wait byte x FACTOR hundredths\n"
                "of a second (default 1; 0 to 1000, at most 3 decimals)");
        }
        return entry.help;
    };
    return std::string(_("Usage: animdump [OPTION]... FILE\n"
                         "Check an animation stream written by animconv, list its frames and optionally\n")) +
           (play ? _("render them as an animated GIF, as PNG images or on a 256-colour terminal.\n")
                 : _("render them as an animated GIF or as PNG images, or draw one on the terminal.\n")) +
           "\n" + animconv::optionRows(kOptions, kHelpColumn, helpOf) +
           _("\n"
             "The table has one row per frame: number, byte offset, bytes, run records,\n"
             "unchanged pixels (0xFE) and wait byte, then the totals and a verdict line,\n"
             "\"valid\" or \"invalid: \" with the frame, its byte offset and the problem.\n"
             "Images are written only for a valid stream.\n"
             "\n"
             "Exit status: 0 valid stream (and every image written), 1 invalid stream,\n"
             "2 usage error, unreadable FILE or unwritable output.\n");
}

std::string versionText() {
    return "animdump " ANIMCONV_VERSION "\n";
}

}  // namespace animdump
