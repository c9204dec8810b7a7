// animmake's command line: the one-line reasons for usage errors, the tools' one option loop and the rows of
// --help that the tools' option tables make.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "make/make_options.h"
#include "toolkit/option_table.h"
#include "toolkit/tool_platform.h"

namespace {

using animmake::OptionsResult;

struct OptionsCase {
    std::vector<std::string> arguments;  // after the program name
    OptionsResult result;
    std::string error;  // usage errors only
};

OptionsResult parse(std::vector<std::string> arguments, animmake::MakeOptions& options, std::string& error) {
    arguments.insert(arguments.begin(), "animmake");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return animmake::parseMakeOptions(static_cast<int>(arguments.size()), argv.data(), options, error);
}

TEST(AnimmakeOptions, ResultsAndReasons) {
    const OptionsCase cases[] = {
        {{"-o", "s.bin", "a.png"}, OptionsResult::run, ""},
        {{"a.png", "-qfo", "s.bin", "--dither=none"}, OptionsResult::run, ""},
        {{"-x", "--help"}, OptionsResult::help, ""},
        {{"-o", "s.bin", "-?"}, OptionsResult::help, ""},
        // /help is a file name here; Windows' tools take it as help.
        {{"-o", "s.bin", "/help"},
         toolplatform::kExpandsWildcards ? OptionsResult::help : OptionsResult::run,
         ""},
        {{"-o", "s.bin", "/HELP"},
         toolplatform::kExpandsWildcards ? OptionsResult::help : OptionsResult::run,
         ""},
        {{"--vers"}, OptionsResult::usageError, "unrecognized option '--vers'"},
        {{"--version", "-x"}, OptionsResult::version, ""},
        {{"-o", "s.bin", "--", "--help"}, OptionsResult::run, ""},
        {{"-x"}, OptionsResult::usageError, "invalid option '-x'"},
        {{"--bogus"}, OptionsResult::usageError, "unrecognized option '--bogus'"},
        {{"a.png", "-o"}, OptionsResult::usageError, "option '-o' needs a value"},
        {{"a.png", "--output"}, OptionsResult::usageError, "option '--output' needs a value"},
        {{"--no-delta=1", "a.png"}, OptionsResult::usageError, "option '--no-delta' takes no value"},
        {{"a.png", "--fit"}, OptionsResult::usageError, "option '--fit' needs a value"},
        {{"-o", "s", "-w", "256", "a"},
         OptionsResult::usageError,
         "invalid value '256' for '--wait' (0 to 255)"},
        {{"-o", "s", "--background", "#12345g", "a"},
         OptionsResult::usageError,
         "invalid value '#12345g' for '--background' (#rrggbb)"},
        {{"-f", "-a", "-o", "s", "a"},
         OptionsResult::usageError,
         "'--force' and '--append' exclude each other"},
        {{"-o", "s", "--fps", "0", "a"},
         OptionsResult::usageError,
         "invalid value '0' for '--fps' (frames a second, above 0 and up to 1000)"},
        {{"-o", "s", "--start", "1:60", "a"},
         OptionsResult::usageError,
         "invalid value '1:60' for '--start' (seconds or [hh:]mm:ss[.fff])"},
        {{"-o", "s", "--duration", "0", "a"},
         OptionsResult::usageError,
         "invalid value '0' for '--duration' (seconds or [hh:]mm:ss[.fff], above 0)"},
        {{"a.png"}, OptionsResult::run, ""},  // the stream beside the input, named by the run
        {{"-o", "s.bin"}, OptionsResult::usageError, "missing INPUT operand"},
    };
    for (const OptionsCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        animmake::MakeOptions options;
        std::string error;
        EXPECT_EQ(parse(c.arguments, options, error), c.result);
        EXPECT_EQ(error, c.error);
    }
}

TEST(AnimmakeOptions, ValuesLandAndInputsKeepTheirOrder) {
    animmake::MakeOptions options;
    std::string error;
    ASSERT_EQ(parse({"b.png", "--fit", "cover", "-w7", "--background=#0a0B0c", "-o", "s.bin", "--", "-c.png",
                     "a.png"},
                    options, error),
              OptionsResult::run)
        << error;
    EXPECT_EQ(options.streamPath, "s.bin");
    EXPECT_EQ(options.source.fit, animmake::inputs::Fit::cover);
    EXPECT_EQ(options.wait, 7);
    EXPECT_EQ(options.source.background.red, 0x0a);
    EXPECT_EQ(options.source.background.blue, 0x0c);
    EXPECT_EQ(options.inputs, (std::vector<std::string>{"b.png", "-c.png", "a.png"}));
}

// Ordered is the default: search, kept inside ordered's bracket, is closer and steadier on real footage but
// further on smooth gradients, and takes about twice ordered's processor time on a 720x576 video, beyond the
// 1.25x a default may cost (bench/results/dithers.md).
TEST(AnimmakeOptions, DitherNamesAndTheDefault) {
    const std::pair<std::vector<std::string>, animmake::dither::Dither> cases[] = {
        {{}, animmake::dither::Dither::ordered},
        {{"--dither", "steady"}, animmake::dither::Dither::steady},
        {{"--dither=ordered"}, animmake::dither::Dither::ordered},
        {{"--dither", "none"}, animmake::dither::Dither::none},
        {{"--dither", "diffusion"}, animmake::dither::Dither::diffusion},
        {{"--dither", "search"}, animmake::dither::Dither::search},
    };
    for (const auto& [given, dither] : cases) {
        SCOPED_TRACE(testing::PrintToString(given));
        std::vector<std::string> arguments = {"-o", "s.bin", "a.png"};
        arguments.insert(arguments.end(), given.begin(), given.end());
        animmake::MakeOptions options;
        std::string error;
        ASSERT_EQ(parse(arguments, options, error), OptionsResult::run) << error;
        EXPECT_EQ(options.dither, dither);
    }
}

// Seconds or [hh:]mm:ss[.fff], as --start and --duration take them; -1 marks a refused text.
TEST(AnimmakeOptions, TimesInSecondsOrClockForm) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"90", 90'000'000},
        {"2.5", 2'500'000},
        {"0.000001", 1},
        {"1:30", 90'000'000},
        {"61:00", 3'660'000'000},
        {"01:02:03.25", 3'723'250'000},
        {"1:60", -1},
        {"1:02:60", -1},
        {"1:60:00", -1},
        {"1.", -1},
        {".5", -1},
        {"1:2:3:4", -1},
        {"-1", -1},
        {"1e3", -1},
        {"0.0000001", -1},
        {"", -1},
    };
    for (const auto& [text, microseconds] : cases) {
        SCOPED_TRACE(text);
        animmake::MakeOptions options;
        std::string error;
        const OptionsResult result = parse({"-o", "s", "--start", text, "a"}, options, error);
        EXPECT_EQ(result == OptionsResult::run ? options.source.video.startMicroseconds : -1, microseconds);
    }
}

// A build without video shows every option, its help speaking of images and streams alone.
TEST(AnimmakeOptions, HelpWithoutVideoSpeaksOfImagesAndStreams) {
    const std::string withVideo = animmake::helpText(true);
    const std::string without = animmake::helpText(false);
    for (const char* words : {"video's", "each video", "videos and", "videos of", "a video ("}) {
        EXPECT_NE(withVideo.find(words), std::string::npos) << words;
        EXPECT_EQ(without.find(words), std::string::npos) << words;
    }
    EXPECT_NE(without.find("This build reads no video."), std::string::npos);
    for (const char* option : {"--output", "--wait=N", "--wait-unit", "--fps", "--start", "--duration",
                               "--max-pixels", "--dither", "--version"}) {
        EXPECT_NE(without.find(option), std::string::npos) << option;
    }
}

// A row per option: the short name or four spaces, the long name and argument, the help from the column on
// (two spaces after a wider name), its later lines at the column.
TEST(OptionTable, HelpRows) {
    struct Row {
        const char* longName;
        char shortName;
        const char* argument;
        const char* help;
    };
    const Row rows[] = {
        {"output", 'o', "STREAM", "the stream"},
        {"no-delta", 0, nullptr, "no marker,\nevery pixel"},
        {"background", 0, "#RRGGBB", "colour"},
        {"quiet", 'q', nullptr, "no summary"},
    };
    EXPECT_EQ(animconv::optionRows(rows, 26),
              "  -o, --output=STREAM     the stream\n"
              "      --no-delta          no marker,\n"
              "                          every pixel\n"
              "      --background=#RRGGBB  colour\n"
              "  -q, --quiet             no summary\n");
}

// The loop both tools read their options with: each option as it comes, written as given, with its value;
// the operands in order; one wording for what it refuses.
TEST(OptionTable, OneLoopForBothTools) {
    struct Row {
        const char* longName;
        char shortName;
        const char* argument;
        animconv::OptionsResult ends = animconv::OptionsResult::run;
    };
    const Row rows[] = {
        {"output", 'o', "STREAM"},
        {"quiet", 'q', nullptr},
        {"force", 'f', nullptr},
        {"fit", 0, "MODE"},
        {"fits", 0, nullptr},
        {"help", 'h', nullptr, animconv::OptionsResult::help},
        {"version", 'V', nullptr, animconv::OptionsResult::version},
    };
    struct Case {
        std::vector<std::string> arguments;
        animconv::OptionsResult result;
        std::string taken;  // "written=value" per option, then "| operands"; or the error
    };
    using animconv::OptionsResult;
    const Case cases[] = {
        {{"a", "-o", "s", "b"}, OptionsResult::run, "-o=s | a b"},
        {{"-os", "--output=t", "--output", "u"}, OptionsResult::run, "-o=s --output=t --output=u |"},
        {{"-qfo", "s", "-", "--fit=", "--fits"}, OptionsResult::run, "-q -f -o=s --fit= --fits | -"},
        {{"-o", "-q", "--", "-f", "--fit"}, OptionsResult::run, "-o=-q | -f --fit"},
        {{"a", "--fi"}, OptionsResult::usageError, "unrecognized option '--fi'"},
        {{"--fit-x=3"}, OptionsResult::usageError, "unrecognized option '--fit-x'"},
        {{"-qx"}, OptionsResult::usageError, "invalid option '-x'"},
        {{"--quiet=1"}, OptionsResult::usageError, "option '--quiet' takes no value"},
        {{"a", "-qo"}, OptionsResult::usageError, "option '-o' needs a value"},
        {{"--fit"}, OptionsResult::usageError, "option '--fit' needs a value"},
        {{"--bogus", "--version"}, OptionsResult::version, ""},
        {{"-x", "-h"}, OptionsResult::help, ""},
        {{"-qh"}, OptionsResult::help, ""},
        {{"-x", "-?"}, OptionsResult::help, ""},
        {{"--", "--help"}, OptionsResult::run, "| --help"},
        {{"--he"}, OptionsResult::usageError, "unrecognized option '--he'"},
        {{"--help=1"}, OptionsResult::usageError, "option '--help' takes no value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), "tool");
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        std::string taken;
        std::vector<const char*> operands;
        std::string error;
        const OptionsResult result = animconv::readOptions(
            static_cast<int>(argv.size()), argv.data(), rows,
            [&](const Row&, const char* value, const std::string& written) {
                taken += written + (value != nullptr ? "=" + std::string(value) : "") + " ";
                return true;
            },
            operands, error);
        EXPECT_EQ(result, c.result);
        taken += "|";
        for (const char* operand : operands) {
            taken += std::string(" ") + operand;
        }
        EXPECT_EQ(result == OptionsResult::run ? taken : error, c.taken);
    }
}

}  // namespace
