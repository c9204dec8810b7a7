// Command lines as a Windows caller writes them. Where the runner hands the program one string
// (animconv.exe through CreateProcessA) the line goes over as it stands and the program's own splitting takes
// it apart; elsewhere the program gets the arguments the line stands for. Either way it must print, exit
// and write the same.
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "expected_text.h"
#include "program_runner.h"

namespace e2e {
namespace {

struct RawLine {
    std::string name;
    std::string line;                // exactly what GetCommandLineA returns
    std::vector<std::string> split;  // what splitting the line gives, argument 0 first
    std::string expectedOutput;
    int expectedStatus = 0;
    std::string outputName = "out.anim";
    std::optional<Bytes> expectedOutputFile;  // nothing: the output file must not exist afterwards
};

void PrintTo(const RawLine& c, std::ostream* stream) {
    *stream << c.name;
}

// A line whose run writes no output file.
RawLine writesNothing(std::string name, std::string line, std::vector<std::string> split, std::string output,
                      int status) {
    return {std::move(name), std::move(line), std::move(split), std::move(output),
            status,          "out.anim",      std::nullopt};
}

// A line whose run converts and writes `outputName`.
RawLine converts(std::string name, std::string line, std::vector<std::string> split, std::string output,
                 std::string outputName, Bytes written) {
    return {std::move(name),       std::move(line),   std::move(split), std::move(output), 0,
            std::move(outputName), std::move(written)};
}

std::string caseName(const ::testing::TestParamInfo<RawLine>& param) {
    return param.param.name;
}

// Every case starts with a.bmp and "my frames/b.bmp", both of this picture.
Picture casePicture() {
    return randomPicture(41, 6, 300);
}

std::vector<RawLine> rawLines() {
    const Picture picture = casePicture();
    const std::string kanji = "\x95\x5c\x8e\xa6";  // 表示: the first trail byte is 0x5C, a backslash
    const std::string missingShiftJis = "\x83\x5c\x83\x74\x83\x67.bmp";  // ソフト.bmp
    return {
        writesNothing("QuotesInsideAWord", "animconv.exe a\"b c\"d out.anim",
                      {"animconv.exe", "ab cd", "out.anim"}, text::unknownMode("ab cd"), -1),
        writesNothing("QuotedSpaceAndBackslash", "animconv.exe use0xfe out.anim \"no dir\\no such.bmp\" 5",
                      {"animconv.exe", "use0xfe", "out.anim", "no dir\\no such.bmp", "5"},
                      text::cannotOpenInput("no dir\\no such.bmp"), 1),
        writesNothing("BackslashBeforeClosingQuote", "animconv.exe \"a\\\" out.anim",
                      {"animconv.exe", "a\\", "out.anim"}, text::unknownMode("a\\"), -1),
        writesNothing("LonePairOfQuotesAsMode", "animconv.exe \"\" out.anim",
                      {"animconv.exe", "", "out.anim"}, text::unknownMode(""), -1),
        converts("LonePairOfQuotesAsWait", "animconv.exe no0xfe out.anim a.bmp \"\"",
                 {"animconv.exe", "no0xfe", "out.anim", "a.bmp", ""}, text::convertedFrame("a.bmp"),
                 "out.anim", referenceRun(Mode::plain, {{picture, 0}})),
        writesNothing("OneLeadingSpace", " animconv.exe", {" animconv.exe"}, text::usage(" animconv.exe"),
                      -1),
        writesNothing("TwoLeadingSpaces", "  animconv.exe use0xfe out.anim",
                      {" ", "animconv.exe", "use0xfe", "out.anim"}, text::usage(" "), -1),
        converts("TabsAndLineBreaksBetweenArguments", "animconv.exe\tno0xfe\t\tout.anim\r\na.bmp   3\t",
                 {"animconv.exe", "no0xfe", "out.anim", "a.bmp", "3"}, text::convertedFrame("a.bmp"),
                 "out.anim", referenceRun(Mode::plain, {{picture, 3}})),
        writesNothing("ShiftJisMode", "animconv.exe " + kanji + " out.anim",
                      {"animconv.exe", kanji, "out.anim"}, text::unknownMode(kanji), -1),
        writesNothing("ShiftJisTrailBackslashBeforeQuote", "animconv.exe \"\x83\x5c\"x out.anim",
                      {"animconv.exe", "\x83\x5cx", "out.anim"}, text::unknownMode("\x83\x5cx"), -1),
        writesNothing("HalfWidthKatakana", "animconv.exe \xb1\xdd\xcf out.anim",
                      {"animconv.exe", "\xb1\xdd\xcf", "out.anim"}, text::unknownMode("\xb1\xdd\xcf"), -1),
        writesNothing("ShiftJisMissingInput", "animconv.exe no0xfe out.anim " + missingShiftJis + " 1",
                      {"animconv.exe", "no0xfe", "out.anim", missingShiftJis, "1"},
                      text::cannotOpenInput(missingShiftJis), 1),
        converts("QuotedPathsAndSplitWait",
                 "animconv.exe use0xfe \"out file.anim\" \"my frames/b.bmp\" 0\"d2\"0",
                 {"animconv.exe", "use0xfe", "out file.anim", "my frames/b.bmp", "0d20"},
                 text::convertedFrame("my frames/b.bmp"), "out file.anim",
                 referenceRun(Mode::delta, {{picture, 20}})),
    };
}

class CommandLine : public ::testing::TestWithParam<RawLine> {};

TEST_P(CommandLine, RunsAsItsArguments) {
    const RawLine& c = GetParam();
    FreshFolder folder;
    const Bytes image = directImage(casePicture());
    folder.put("a.bmp", image);
    folder.makeFolder("my frames");
    folder.put("my frames/b.bmp", image);

    const ProgramRun run = activeRunner().runCommandLine(c.line, c.split, folder.path());
    EXPECT_TRUE(endedWith(run, c.expectedStatus));
    EXPECT_TRUE(sameText(run.output, c.expectedOutput));

    const std::optional<Bytes> written = folder.read(c.outputName);
    std::set<std::string> expectedEntries{"a.bmp", "my frames"};
    if (c.expectedOutputFile) {
        ASSERT_TRUE(written.has_value()) << c.outputName << " was not written";
        EXPECT_TRUE(sameBytes(*written, *c.expectedOutputFile)) << "in " << c.outputName;
        expectedEntries.insert(c.outputName);
    } else {
        EXPECT_FALSE(written.has_value()) << c.outputName << " should not exist";
    }
    const std::vector<std::string> entries = folder.entries();
    EXPECT_EQ(entries, std::vector<std::string>(expectedEntries.begin(), expectedEntries.end()));
}

INSTANTIATE_TEST_SUITE_P(RawLines, CommandLine, ::testing::ValuesIn(rawLines()), caseName);

}  // namespace
}  // namespace e2e
