#include "studio/studio_options.h"

#include <cstring>

#include "toolkit/option_table.h"
#include "toolkit/translation.h"

namespace animstudio {
namespace {

bool parseCount(const std::string& text, std::uint64_t largest, std::uint64_t& value) {
    if (text.empty() || text.size() > 12) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value <= largest;
}

struct OptionRow {
    const char* longName;
    char shortName;
    const char* argument;
    const char* help;
    // False with `error` set for a value refused.
    bool (*apply)(const std::string& value, StudioOptions& options, std::string& error);
    StudioParse ends = StudioParse::run;
};

constexpr std::size_t kHelpColumn = 26;

std::string invalid(const std::string& value, const char* option, const char* form) {
    return _("invalid value '") + value + _("' for '") + option + "' (" + form + ")";
}

const OptionRow kOptions[] = {
    {"port", 'p', "N", N_("listen on port N of 127.0.0.1 (default: a free one)"),
     [](const std::string& value, StudioOptions& options, std::string& error) {
         std::uint64_t number = 0;
         if (!parseCount(value, 65535, number) || number == 0) {
             error = invalid(value, "--port", _("1 to 65535"));
             return false;
         }
         options.port = static_cast<int>(number);
         return true;
     }},
    {"no-browser", 0, nullptr, N_("do not open the page in the browser"),
     [](const std::string&, StudioOptions& options, std::string&) {
         options.openBrowser = false;
         return true;
     }},
    {"max-upload", 0, "MIB", N_("refuse an uploaded file of more than MIB MiB (default 2048)"),
     [](const std::string& value, StudioOptions& options, std::string& error) {
         std::uint64_t number = 0;
         if (!parseCount(value, 1 << 20, number) || number == 0) {
             error = invalid(value, "--max-upload", _("MiB, 1 to 1048576"));
             return false;
         }
         options.maxUploadMiB = number;
         return true;
     }},
    {"idle-exit", 0, "SEC",
     N_("end when no page has been open for SEC seconds (default\n"
        "120; 0: never)"),
     [](const std::string& value, StudioOptions& options, std::string& error) {
         std::uint64_t number = 0;
         if (!parseCount(value, 86400, number)) {
             error = invalid(value, "--idle-exit", _("seconds, 0 to 86400"));
             return false;
         }
         options.idleExitSeconds = static_cast<int>(number);
         return true;
     }},
    {"quiet", 'q', nullptr, N_("no lines but the page's address"),
     [](const std::string&, StudioOptions& options, std::string&) {
         options.quiet = true;
         return true;
     }},
    {"help", 'h', nullptr, N_("show this help and exit"), nullptr, StudioParse::help},
    {"version", 'V', nullptr, N_("show the version and exit"), nullptr, StudioParse::version},
};

const OptionRow* findShort(char name) {
    for (const OptionRow& row : kOptions) {
        if (row.shortName != 0 && row.shortName == name) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

StudioParse parseStudioOptions(int argc, char** argv, StudioOptions& options, std::string& error) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ||
            animconv::asksForHelpOtherwise(argv[i])) {
            return StudioParse::help;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            return StudioParse::version;
        }
    }
    const animconv::GetoptTable table(kOptions);
    constexpr int kLongOnly = animconv::GetoptTable::kLongOnly;
    opterr = 0;
    optind = 0;
    for (;;) {
        const int code =
            getopt_long(argc, argv, table.shortOptions.c_str(), table.longOptions.data(), nullptr);
        if (code == -1) {
            break;
        }
        if (code == '?') {
            error = optopt != 0 ? std::string(_("invalid option '-")) + static_cast<char>(optopt) + "'"
                                : std::string(_("unrecognized option '")) + argv[optind - 1] + "'";
            return StudioParse::usageError;
        }
        const int which = code == ':' ? optopt : code;
        const OptionRow* row =
            which >= kLongOnly ? &kOptions[which - kLongOnly] : findShort(static_cast<char>(which));
        if (code == ':') {
            error = _("option '") + std::string("--") + row->longName + _("' needs a value");
            return StudioParse::usageError;
        }
        if (row->ends != StudioParse::run) {
            return row->ends;
        }
        if (!row->apply(optarg != nullptr ? optarg : "", options, error)) {
            return StudioParse::usageError;
        }
    }
    options.files.assign(argv + optind, argv + argc);
    return StudioParse::run;
}

std::string studioHelpText() {
    return _("Usage: animstudio [OPTION]... [FILE]...\n"
             "Make animation streams on a page in the browser: drop images, GIFs, videos or\n"
             "streams, choose the settings animmake has, watch the result as the device shows\n"
             "it and save it. The page is served on 127.0.0.1 only; its address, with a token\n"
             "no other page knows, is the first line written. FILEs given are on the page at\n"
             "the start, and may be saved beside.\n"
             "\n") +
           animconv::optionRows(kOptions, kHelpColumn) +
           _("\n"
             "It ends on Ctrl-C, on the page's Quit, or by itself when no page has been open\n"
             "for the --idle-exit time. Its temporary folder goes with it.\n"
             "\n"
             "Exit status: 0 done, 1 it could not listen or start, 2 usage error.\n");
}

std::string studioVersionText() {
    return "animstudio " ANIMCONV_VERSION "\n";
}

}  // namespace animstudio
