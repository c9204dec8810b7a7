#include "make/make_options.h"

#include <cstring>

#include "convert/option_table.h"

namespace animmake {
namespace {

enum class Option {
    output,
    force,
    append,
    noDelta,
    wait,
    waitUnit,
    fps,
    start,
    duration,
    fit,
    background,
    dither,
    framesDir,
    maxPixels,
    quiet,
    verbose,
    help,
    version
};

struct OptionName {
    const char* longName;
    char shortName;  // 0: long form only
    Option option;
    bool takesValue;
};

constexpr OptionName kOptions[] = {
    {"output", 'o', Option::output, true},
    {"force", 'f', Option::force, false},
    {"append", 'a', Option::append, false},
    {"no-delta", 0, Option::noDelta, false},
    {"wait", 'w', Option::wait, true},
    {"wait-unit", 0, Option::waitUnit, true},
    {"fps", 0, Option::fps, true},
    {"start", 0, Option::start, true},
    {"duration", 0, Option::duration, true},
    {"fit", 0, Option::fit, true},
    {"background", 0, Option::background, true},
    {"dither", 0, Option::dither, true},
    {"frames-dir", 0, Option::framesDir, true},
    {"max-pixels", 0, Option::maxPixels, true},
    {"quiet", 'q', Option::quiet, false},
    {"verbose", 'v', Option::verbose, false},
    {"help", 'h', Option::help, false},
    {"version", 'V', Option::version, false},
};

const OptionName* findShort(char name) {
    for (const OptionName& candidate : kOptions) {
        if (candidate.shortName != 0 && candidate.shortName == name) {
            return &candidate;
        }
    }
    return nullptr;
}

// Plain decimal digits only, at most `largest`.
bool parseNumber(const std::string& text, std::uint64_t largest, std::uint64_t& value) {
    if (text.empty() || text.size() > 19) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value <= largest;
}

// Digits with at most `maxDecimals` after an optional point: a fraction whose denominator is a power of ten.
bool parseDecimal(const std::string& text, int maxDecimals, std::int64_t& numerator,
                  std::int64_t& denominator) {
    const std::size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string decimals = point == std::string::npos ? "" : text.substr(point + 1);
    std::uint64_t wholeValue = 0;
    if (whole.size() > 9 || !parseNumber(whole, 999'999'999, wholeValue)) {
        return false;
    }
    if (point != std::string::npos && (decimals.empty() || decimals.size() > std::size_t(maxDecimals))) {
        return false;
    }
    numerator = static_cast<std::int64_t>(wholeValue);
    denominator = 1;
    for (char c : decimals) {
        if (c < '0' || c > '9') {
            return false;
        }
        numerator = numerator * 10 + (c - '0');
        denominator *= 10;
    }
    return true;
}

// Seconds ("90", "2.5") or [hh:]mm:ss[.ffffff] ("1:30", "01:02:03.25"), in microseconds.
bool parseTime(const std::string& text, std::int64_t& microseconds) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t colon = text.find(':'); colon != std::string::npos; colon = text.find(':', from)) {
        parts.push_back(text.substr(from, colon - from));
        from = colon + 1;
    }
    parts.push_back(text.substr(from));
    if (parts.size() > 3) {
        return false;
    }
    std::int64_t numerator = 0;
    std::int64_t denominator = 1;
    if (!parseDecimal(parts.back(), 6, numerator, denominator) ||
        (parts.size() > 1 && numerator >= 60 * denominator)) {
        return false;
    }
    std::int64_t minutes = 0;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        std::uint64_t value = 0;
        // Minutes below 60 when hours stand before them.
        const std::uint64_t largest = parts.size() == 3 && i == 1 ? 59 : 999'999;
        if (!parseNumber(parts[i], largest, value)) {
            return false;
        }
        minutes = minutes * 60 + static_cast<std::int64_t>(value);
    }
    microseconds = minutes * 60'000'000 + numerator * (1'000'000 / denominator);
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool parseColour(const std::string& text, Rgb8& colour) {
    if (text.size() != 7 || text[0] != '#') {
        return false;
    }
    std::uint8_t components[3];
    for (std::size_t i = 0; i < 3; ++i) {
        const int high = hexDigit(text[1 + 2 * i]);
        const int low = hexDigit(text[2 + 2 * i]);
        if (high < 0 || low < 0) {
            return false;
        }
        components[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    colour = Rgb8{components[0], components[1], components[2]};
    return true;
}

// Applies one option with its value; false with `error` set for a bad value.
bool applyOption(const OptionName& name, const std::string& shown, const std::string& value,
                 MakeOptions& options, std::string& error) {
    std::uint64_t number = 0;
    auto invalid = [&](const char* expected) {
        error = "invalid value '" + value + "' for '" + shown + "' (" + expected + ")";
        return false;
    };
    switch (name.option) {
        case Option::output:
            if (value.empty()) {
                return invalid("a file name");
            }
            options.streamPath = value;
            return true;
        case Option::force:
            if (options.outputMode == OutputMode::append) {
                error = "'--force' and '--append' exclude each other";
                return false;
            }
            options.outputMode = OutputMode::replace;
            return true;
        case Option::append:
            if (options.outputMode == OutputMode::replace) {
                error = "'--force' and '--append' exclude each other";
                return false;
            }
            options.outputMode = OutputMode::append;
            return true;
        case Option::noDelta:
            options.delta = false;
            return true;
        case Option::wait:
            if (!parseNumber(value, 255, number)) {
                return invalid("0 to 255");
            }
            options.wait = static_cast<int>(number);
            return true;
        case Option::waitUnit:
            if (!parseNumber(value, 60'000, number) || number == 0) {
                return invalid("milliseconds, 1 to 60000");
            }
            options.waitUnitMs = static_cast<int>(number);
            return true;
        case Option::fps: {
            std::int64_t numerator = 0;
            std::int64_t denominator = 1;
            if (!parseDecimal(value, 3, numerator, denominator) || numerator == 0 ||
                numerator > 1000 * denominator) {
                return invalid("frames a second, above 0 and up to 1000");
            }
            options.video.fpsNumerator = numerator;
            options.video.fpsDenominator = denominator;
            return true;
        }
        case Option::start:
            if (!parseTime(value, options.video.startMicroseconds)) {
                return invalid("seconds or [hh:]mm:ss[.fff]");
            }
            return true;
        case Option::duration:
            if (!parseTime(value, options.video.durationMicroseconds) ||
                options.video.durationMicroseconds == 0) {
                return invalid("seconds or [hh:]mm:ss[.fff], above 0");
            }
            return true;
        case Option::fit:
            if (value == "contain") {
                options.fit = Fit::contain;
            } else if (value == "cover") {
                options.fit = Fit::cover;
            } else if (value == "stretch") {
                options.fit = Fit::stretch;
            } else {
                return invalid("contain, cover or stretch");
            }
            return true;
        case Option::background:
            if (!parseColour(value, options.background)) {
                return invalid("#rrggbb");
            }
            return true;
        case Option::dither:
            if (value == "steady") {
                options.dither = Dither::steady;
            } else if (value == "ordered") {
                options.dither = Dither::ordered;
            } else if (value == "none") {
                options.dither = Dither::none;
            } else if (value == "diffusion") {
                options.dither = Dither::diffusion;
            } else if (value == "search") {
                options.dither = Dither::search;
            } else {
                return invalid("ordered, steady, search, none or diffusion");
            }
            return true;
        case Option::framesDir:
            if (value.empty()) {
                return invalid("a folder name");
            }
            options.framesDir = value;
            return true;
        case Option::maxPixels:
            if (!parseNumber(value, std::uint64_t{1} << 62, number) || number == 0) {
                return invalid("a pixel count of 1 or more");
            }
            options.maxPixels = number;
            return true;
        case Option::quiet:
            options.quiet = true;
            return true;
        case Option::verbose:
            options.verbose = true;
            return true;
        case Option::help:
        case Option::version:
            return true;
    }
    return true;
}

}  // namespace

OptionsResult parseMakeOptions(int argc, char** argv, MakeOptions& options, std::string& error) {
    // --help and --version win wherever they stand, as with animdump.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return OptionsResult::help;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            return OptionsResult::version;
        }
    }
    const animconv::GetoptTable table(kOptions);
    constexpr int kLongOnly = animconv::GetoptTable::kLongOnly;
    const auto entryOf = [&](int code) {
        return code >= kLongOnly ? &kOptions[code - kLongOnly] : findShort(static_cast<char>(code));
    };

    opterr = 0;  // the reasons are worded here, on one line
    optind = 0;  // 0 makes glibc start afresh
    for (;;) {
        const int code =
            getopt_long(argc, argv, table.shortOptions.c_str(), table.longOptions.data(), nullptr);
        if (code == -1) {
            break;
        }
        if (code == '?') {
            error = optopt != 0 ? std::string("invalid option '-") + static_cast<char>(optopt) + "'"
                                : std::string("unrecognized option '") + argv[optind - 1] + "'";
            return OptionsResult::usageError;
        }
        const OptionName* name = entryOf(code == ':' ? optopt : code);
        const std::string shown = std::string("--") + name->longName;
        if (code == ':') {
            error = "option '" + shown + "' needs a value";
            return OptionsResult::usageError;
        }
        if (name->option == Option::help || name->option == Option::version) {  // abbreviated: --he, --vers
            return name->option == Option::help ? OptionsResult::help : OptionsResult::version;
        }
        if (!applyOption(*name, shown, optarg != nullptr ? optarg : "", options, error)) {
            return OptionsResult::usageError;
        }
    }
    options.inputs.assign(argv + optind, argv + argc);
    if (options.streamPath.empty()) {
        error = "missing '-o STREAM'";
        return OptionsResult::usageError;
    }
    if (options.inputs.empty()) {
        error = "missing INPUT operand";
        return OptionsResult::usageError;
    }
    return OptionsResult::run;
}

std::string helpText() {
    return "Usage: animmake [OPTION]... -o STREAM INPUT...\n"
           "Turn ordinary images and videos into an animation stream: each frame is fitted to\n"
           "190x170, put onto the 6x6x6 colour cube and encoded as animconv does.\n"
           "\n"
           "INPUT is an image file in any format libvips loads (an animated GIF or WebP gives\n"
           "all of its frames), a video (MP4, MOV, MKV, WebM, AVI, ...: its frames at its own\n"
           "timing), a directory (its images in natural order: f2 before f10), or @LIST: one\n"
           "input per line, optionally followed by a tab and that input's wait byte (@- reads\n"
           "the list from standard input).\n"
           "\n"
           "  -o, --output=STREAM     the stream to write (required)\n"
           "  -f, --force             replace an existing non-empty STREAM\n"
           "  -a, --append            append to STREAM, all or nothing, under an exclusive lock\n"
           "      --no-delta          no unchanged marker (0xFE); every pixel written\n"
           "  -w, --wait=N            wait byte of every frame, 0 to 255 (default 10; an\n"
           "                          animated input's or a video's own timing is used when\n"
           "                          not given)\n"
           "      --wait-unit=MS      milliseconds per wait unit for that timing (default 10);\n"
           "                          a video's frames shorter than a unit are dropped evenly\n"
           "      --fps=N             take N frames a second of each video (N up to 1000,\n"
           "                          decimals allowed): the frame on screen at each tick\n"
           "      --start=TIME        begin each video at TIME: seconds (12.5) or\n"
           "                          [hh:]mm:ss[.fff] (1:02.5)\n"
           "      --duration=TIME     take at most TIME of each video\n"
           "      --fit=MODE          contain (default: whole picture, centred, with bars),\n"
           "                          cover (fills the frame, centred crop) or stretch\n"
           "      --background=#RRGGBB  colour of the bars and behind transparency (default black)\n"
           "      --dither=MODE       search (default: the levels searched for the picture\n"
           "                          closest to the source as the eye sees it, with a cost per\n"
           "                          run, held where the source stands still), ordered (stable\n"
           "                          from frame to frame, so unchanged pixels stay unchanged;\n"
           "                          cheapest), steady (error diffusion that keeps the levels it\n"
           "                          chose where the source stands still, and orders what\n"
           "                          moves: worse on noisy footage and in black bars),\n"
           "                          none (animconv's truncation) or\n"
           "                          diffusion (error diffusion, for stills: it changes pixels\n"
           "                          whose source did not change, which defeats delta)\n"
           "      --frames-dir=DIR    also write every frame as a 190x170 BMP into DIR; animconv\n"
           "                          use0xfe over them gives the same stream\n"
           "      --max-pixels=N      refuse images and videos of more than N pixels a frame\n"
           "                          (default 100000000)\n"
           "  -q, --quiet             no progress line and no summary\n"
           "  -v, --verbose           after a failure's line, the image library's own words\n"
           "  -h, --help              show this help and exit\n"
           "  -V, --version           show the version and exit\n"
           "\n"
           "No input is ever written: an output that is an input (however it is spelt) is\n"
           "refused before anything is opened.\n"
           "\n"
           "Exit status: 0 done, 1 an input or the output failed (STREAM untouched),\n"
           "2 usage error or an output that is an input, 130/143 interrupted (STREAM\n"
           "untouched).\n";
}

std::string versionText() {
    return "animmake " ANIMCONV_VERSION "\n";
}

}  // namespace animmake
