// animmake's command line: what getopt_long is asked for, the one-line reasons for usage errors, and the
// rows of --help that the tools' option tables make.
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
        {{"--vers"}, OptionsResult::version, ""},
        {{"-o", "s.bin", "--", "--help"}, OptionsResult::run, ""},
        {{"-x"}, OptionsResult::usageError, "invalid option '-x'"},
        {{"--bogus"}, OptionsResult::usageError, "unrecognized option '--bogus'"},
        {{"a.png", "-o"}, OptionsResult::usageError, "option '--output' needs a value"},
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

// Ordered is the default: search is closer, smaller and steadier on every real clip measured, but takes about
// twice ordered's processor time on a 720x576 video, beyond the 1.25x a default may cost
// (bench/results/dithers.md).
TEST(AnimmakeOptions, DitherNamesAndTheDefault) {
    const std::pair<std::vector<std::string>, animmake::Dither> cases[] = {
        {{}, animmake::Dither::ordered},
        {{"--dither", "steady"}, animmake::Dither::steady},
        {{"--dither=ordered"}, animmake::Dither::ordered},
        {{"--dither", "none"}, animmake::Dither::none},
        {{"--dither", "diffusion"}, animmake::Dither::diffusion},
        {{"--dither", "search"}, animmake::Dither::search},
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

// A row per option: the short name or four spaces, the long name and argument, the help from the column on
// (two spaces after a wider name), its later lines at the column; getopt_long is asked for the same names.
TEST(OptionTable, HelpRowsAndGetoptNamesComeFromTheSameRows) {
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
    const animconv::GetoptTable table(rows);
    EXPECT_EQ(table.shortOptions, ":o:q");
    ASSERT_EQ(table.longOptions.size(), 5u);
    EXPECT_EQ(table.longOptions[0].has_arg, required_argument);
    EXPECT_EQ(table.longOptions[1].has_arg, no_argument);
    EXPECT_EQ(table.longOptions[1].val, animconv::GetoptTable::kLongOnly + 1);
    EXPECT_EQ(table.longOptions[2].val, animconv::GetoptTable::kLongOnly + 2);
    EXPECT_EQ(table.longOptions[3].val, 'q');
    EXPECT_EQ(table.longOptions[4].name, nullptr);
}

}  // namespace
