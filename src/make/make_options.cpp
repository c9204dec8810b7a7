#include "make/make_options.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "make/inputs/video_support.h"
#include "toolkit/option_table.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animmake {
namespace {

using dither::Dither;
using output::OutputMode;

// Plain decimal digits only, at most `largest`.
bool parseNumber(const std::string& text, std::uint64_t largest, std::uint64_t& value) {
    const char* const end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return failure == std::errc() && stop == end && value <= largest;
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

bool parseColour(const std::string& text, inputs::Rgb8& colour) {
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
    colour = inputs::Rgb8{components[0], components[1], components[2]};
    return true;
}

// How an option's value is refused: the form it should have, or a plain reason.
class Refusal {
  public:
    Refusal(const std::string& value, const std::string& shown, std::string& error)
        : value_(value), shown_(shown), error_(error) {}
    bool expected(const char* form) const {
        error_ = _("invalid value '") + value_ + _("' for '") + shown_ + "' (" + form + ")";
        return false;
    }
    bool because(const char* reason) const {
        error_ = reason;
        return false;
    }

  private:
    const std::string& value_;
    const std::string& shown_;
    std::string& error_;
};

// One option: its names, the argument it takes (none: a flag), its --help text (lines after the first at
// the help column) and how its value lands in the options. --help and --version end the parse instead.
struct OptionRow {
    const char* longName;
    char shortName;  // 0: long form only
    const char* argument;
    const char* help;
    bool (*apply)(const std::string& value, MakeOptions& options, const Refusal& refuse);
    OptionsResult ends = OptionsResult::run;
};

constexpr std::size_t kHelpColumn = 26;

const OptionRow kOptions[] = {
    {"output", 'o', "STREAM",
     N_("the stream to write (default: beside the first INPUT,\n"
        "named after it with .bin: clip.gif -> clip.bin)"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         if (value.empty()) {
             return refuse.expected(_("a file name"));
         }
         options.streamPath = value;
         return true;
     }},
    {"force", 'f', nullptr, N_("replace an existing non-empty STREAM"),
     [](const std::string&, MakeOptions& options, const Refusal& refuse) {
         if (options.outputMode == OutputMode::append) {
             return refuse.because(_("'--force' and '--append' exclude each other"));
         }
         options.outputMode = OutputMode::replace;
         return true;
     }},
    {"append", 'a', nullptr, N_("append to STREAM, all or nothing, under an exclusive lock"),
     [](const std::string&, MakeOptions& options, const Refusal& refuse) {
         if (options.outputMode == OutputMode::replace) {
             return refuse.because(_("'--force' and '--append' exclude each other"));
         }
         options.outputMode = OutputMode::append;
         return true;
     }},
    {"no-delta", 0, nullptr, N_("no unchanged marker (0xFE); every pixel written"),
     [](const std::string&, MakeOptions& options, const Refusal&) {
         options.delta = false;
         return true;
     }},
    {"wait", 'w', "N",
     N_("wait byte of every frame, 0 to 255 (default 10; an\n"
        "animated input's, a video's or a stream's own timing\n"
        "is used when not given)"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         std::uint64_t number = 0;
         if (!parseNumber(value, 255, number)) {
             return refuse.expected(_("0 to 255"));
         }
         options.wait = static_cast<int>(number);
         return true;
     }},
    {"wait-unit", 0, "MS",
     N_("milliseconds per wait unit for that timing (default 10);\n"
        "a video's frames shorter than a unit are dropped evenly"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         std::uint64_t number = 0;
         if (!parseNumber(value, 60'000, number) || number == 0) {
             return refuse.expected(_("milliseconds, 1 to 60000"));
         }
         options.source.video.waitUnitMs = static_cast<int>(number);
         return true;
     }},
    {"fps", 0, "N",
     N_("take N frames a second of each video or stream (N up\n"
        "to 1000, decimals allowed): the frame on screen at\n"
        "each tick"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         std::int64_t numerator = 0;
         std::int64_t denominator = 1;
         if (!parseDecimal(value, 3, numerator, denominator) || numerator == 0 ||
             numerator > 1000 * denominator) {
             return refuse.expected(_("frames a second, above 0 and up to 1000"));
         }
         options.source.video.fpsNumerator = numerator;
         options.source.video.fpsDenominator = denominator;
         return true;
     }},
    {"start", 0, "TIME",
     N_("begin each video or stream at TIME: seconds (12.5) or\n"
        "[hh:]mm:ss[.fff] (1:02.5)"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         if (!parseTime(value, options.source.video.startMicroseconds)) {
             return refuse.expected(_("seconds or [hh:]mm:ss[.fff]"));
         }
         return true;
     }},
    {"duration", 0, "TIME", N_("take at most TIME of each video or stream"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         if (!parseTime(value, options.source.video.durationMicroseconds) ||
             options.source.video.durationMicroseconds == 0) {
             return refuse.expected(_("seconds or [hh:]mm:ss[.fff], above 0"));
         }
         return true;
     }},
    {"fit", 0, "MODE",
     N_("contain (default: whole picture, centred, with bars),\n"
        "cover (fills the frame, centred crop) or stretch"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         if (value == "contain") {
             options.source.fit = inputs::Fit::contain;
         } else if (value == "cover") {
             options.source.fit = inputs::Fit::cover;
         } else if (value == "stretch") {
             options.source.fit = inputs::Fit::stretch;
         } else {
             return refuse.expected(_("contain, cover or stretch"));
         }
         return true;
     }},
    {"background", 0, "#RRGGBB", N_("colour of the bars and behind transparency (default black)"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         if (!parseColour(value, options.source.background)) {
             return refuse.expected("#rrggbb");
         }
         return true;
     }},
    {"dither", 0, "MODE",
     N_("ordered (default: the same levels for the same source in\n"
        "every frame, so unchanged pixels stay unchanged and black\n"
        "bars black; cheapest), search (the levels searched, within\n"
        "the two around each source value and from the last frame's,\n"
        "for the picture closest to the source as the eye sees it,\n"
        "with a cost per run: closer, smaller and steadier than\n"
        "ordered on real footage, further on smooth gradients, flat\n"
        "areas as ordered, about twice its time on small videos),\n"
        "steady (error diffusion that keeps\n"
        "the levels it chose where the source stands still, and orders\n"
        "what moves: worse on noisy footage and in black bars), none\n"
        "(animconv's truncation) or\n"
        "diffusion (error diffusion, for stills: it changes pixels\n"
        "whose source did not change, which defeats delta)"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
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
             return refuse.expected(_("ordered, steady, search, none or diffusion"));
         }
         return true;
     }},
    {"frames-dir", 0, "DIR",
     N_("also write every frame as a 190x170 BMP into DIR; animconv\n"
        "use0xfe over them gives the same stream"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         if (value.empty()) {
             return refuse.expected(_("a folder name"));
         }
         options.framesDir = value;
         return true;
     }},
    {"max-pixels", 0, "N",
     N_("refuse images and videos of more than N pixels a frame\n"
        "(default 100000000)"),
     [](const std::string& value, MakeOptions& options, const Refusal& refuse) {
         std::uint64_t number = 0;
         if (!parseNumber(value, std::uint64_t{1} << 62, number) || number == 0) {
             return refuse.expected(_("a pixel count of 1 or more"));
         }
         options.source.maxPixels = number;
         return true;
     }},
    {"quiet", 'q', nullptr, N_("no progress line and no summary"),
     [](const std::string&, MakeOptions& options, const Refusal&) {
         options.quiet = true;
         return true;
     }},
    {"verbose", 'v', nullptr, N_("after a failure's line, the image library's own words"),
     [](const std::string&, MakeOptions& options, const Refusal&) {
         options.verbose = true;
         return true;
     }},
    {"help", 'h', nullptr, N_("show this help and exit"), nullptr, OptionsResult::help},
    {"version", 'V', nullptr, N_("show the version and exit"), nullptr, OptionsResult::version},
};

}  // namespace

OptionsResult parseMakeOptions(int argc, char** argv, MakeOptions& options, std::string& error) {
    std::vector<const char*> operands;
    const OptionsResult result = animconv::readOptions(
        argc, argv, kOptions,
        [&](const OptionRow& row, const char* value, const std::string&) {
            // Values are refused under the option's long name, however it was written.
            const std::string text = value != nullptr ? value : "";
            return row.apply(text, options, Refusal(text, std::string("--") + row.longName, error));
        },
        operands, error);
    if (result != OptionsResult::run) {
        return result;
    }
    options.inputs.assign(operands.begin(), operands.end());
    if (options.inputs.empty()) {
        error = _("missing INPUT operand");
        return OptionsResult::usageError;
    }
    return OptionsResult::run;
}

namespace {

// A row's help where the build reads no video: its words for images and streams alone.
const char* helpWithoutVideo(const OptionRow& row) {
    static const std::pair<const char*, const char*> kRows[] = {
        {"wait", N_("wait byte of every frame, 0 to 255 (default 10; an\n"
                    "animated input's or a stream's own timing\n"
                    "is used when not given)")},
        {"wait-unit", N_("milliseconds per wait unit for that timing (default 10)")},
        {"fps", N_("take N frames a second of each stream (N up\n"
                   "to 1000, decimals allowed): the frame on screen at\n"
                   "each tick")},
        {"start", N_("begin each stream at TIME: seconds (12.5) or\n"
                     "[hh:]mm:ss[.fff] (1:02.5)")},
        {"duration", N_("take at most TIME of each stream")},
        {"max-pixels", N_("refuse images of more than N pixels a frame\n"
                          "(default 100000000)")},
    };
    for (const auto& [name, help] : kRows) {
        if (std::strcmp(row.longName, name) == 0) {
            return help;
        }
    }
    return row.help;
}

}  // namespace

std::string helpText(bool readsVideo) {
    // Only what this build can do: the video lines where it reads video, the wildcards where it expands them.
    const std::string inputs =
        readsVideo ? _("INPUT is an image file in any format libvips loads (an animated GIF or WebP gives\n"
                       "all of its frames), a video (MP4, MOV, MKV, WebM, AVI, ...: its frames at its own\n"
                       "timing), a whole stream (its frames and waits exactly: join streams, or trim and\n"
                       "retime one with -w, --start, --duration and --fps), a directory (its images in\n"
                       "natural order: f2 before f10), or @LIST: one input per line, optionally followed\n"
                       "by a tab and that input's wait byte (@- reads the list from standard input).\n"
                       "Names in a list are taken from the list's own folder, not the current one; a\n"
                       "list given alone (dropped on the program) needs no @, and its stream goes beside\n"
                       "it.\n")
                   : _("INPUT is an image file in any format libvips loads (an animated GIF or WebP gives\n"
                       "all of its frames), a whole stream (its frames and waits exactly: join streams,\n"
                       "or trim and retime one with -w, --start, --duration and --fps), a directory (its\n"
                       "images in natural order: f2 before f10), or @LIST: one input per line,\n"
                       "optionally followed by a tab and that input's wait byte (@- reads the list from\n"
                       "standard input). Names in a list are taken from the list's own folder, not the\n"
                       "current one; a list given alone (dropped on the program) needs no @, and its\n"
                       "stream goes beside it. This build reads no video.\n");
    const std::string wildcards =
        toolplatform::kExpandsWildcards
            ? _("Wildcards (* and ?) in an INPUT are expanded in natural order; /? and /help are\n"
                "--help.\n"
                "\n")
            : "";
    const auto helpOf = [readsVideo](const OptionRow& row) {
        return readsVideo ? row.help : helpWithoutVideo(row);
    };
    return (readsVideo
                ? _("Usage: animmake [OPTION]... [-o STREAM] INPUT...\n"
                    "Turn ordinary images, videos and streams into an animation stream: each frame is\n"
                    "fitted to 190x170, put onto the 6x6x6 colour cube and encoded as animconv does.\n"
                    "\n")
                : _("Usage: animmake [OPTION]... [-o STREAM] INPUT...\n"
                    "Turn ordinary images and streams into an animation stream: each frame is\n"
                    "fitted to 190x170, put onto the 6x6x6 colour cube and encoded as animconv does.\n"
                    "\n")) +
           inputs + "\n" + wildcards + animconv::optionRows(kOptions, kHelpColumn, helpOf) +
           _("\n"
             "Examples: animmake -o joined.bin intro.bin title.png clip.bin joins two streams\n"
             "around a picture; animmake -o slow.bin -w 20 --start 2 joined.bin retimes what\n"
             "follows its first 2 seconds.\n"
             "\n"
             "No input is ever written: an output that is an input (however it is spelt) is\n"
             "refused before anything is opened.\n"
             "\n"
             "Exit status: 0 done, 1 an input or the output failed (STREAM untouched),\n"
             "2 usage error, an output that is an input or one marked read-only (never\n"
             "replaced or appended to, even with -f), 130/143 interrupted (STREAM untouched).\n");
}

std::string helpText() {
    return helpText(inputs::videoSupported());
}

std::string versionText() {
    return "animmake " ANIMCONV_VERSION "\n";
}

}  // namespace animmake
