// The reference splitter against worked examples, and the command-line strings for one-string launchers
// taken apart again by it.
#include "reference_command_line.h"

#include <gtest/gtest.h>

namespace testsupport {
namespace {

using Arguments = std::vector<std::string>;

TEST(RawCommandLine, SplitterFollowsTheWorkedExamples) {
    EXPECT_EQ(referenceSplit(""), Arguments{""});
    EXPECT_EQ(referenceSplit("a\"b c\"d"), Arguments{"ab cd"});
    EXPECT_EQ(referenceSplit("x \"\" y"), (Arguments{"x", "", "y"}));
    EXPECT_EQ(referenceSplit("\"C:\\my dir\\a.bmp\" 5"), (Arguments{"C:\\my dir\\a.bmp", "5"}));
    EXPECT_EQ(referenceSplit(" tool a"), (Arguments{" tool", "a"}));
    EXPECT_EQ(referenceSplit("  tool a"), (Arguments{" ", "tool", "a"}));
    EXPECT_EQ(referenceSplit("\x95\x5c a"), (Arguments{"\x95\x5c", "a"}));
}

TEST(RawCommandLine, SplitsBackIntoTheSameArguments) {
    const Arguments arguments{
        "animconv.exe", "use0xfe",  "",   " ",    "out put.anim", "\t\n12",     "-o",
        "%s",           "a\\b.bmp", "\\", "\\\\", "\x95\x5c.bmp", "\x81\x81 7", std::string(5000, 'n')};
    const std::optional<std::string> line = rawCommandLine(arguments);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(referenceSplit(*line), arguments);
}

TEST(RawCommandLine, RefusesWhatTheRulesCannotCarry) {
    EXPECT_FALSE(rawCommandLine({"animconv.exe", "a\"b"}).has_value());
}

}  // namespace
}  // namespace testsupport
