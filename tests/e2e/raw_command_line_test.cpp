// The command-line strings for one-string launchers, taken apart again by the splitting rules as this
// test states them on its own.
#include "raw_command_line.h"

#include <gtest/gtest.h>

namespace e2e {
namespace {

using Arguments = std::vector<std::string>;

// The splitting rules: an argument starts at the current byte (the first at the very first byte); a
// double quote flips quoting and is dropped; the next byte stays in the argument when it is above 0x20,
// or when quoting is on and it is not NUL; after an argument, bytes 0x01..0x20 are skipped.
Arguments split(const std::string& line) {
    const auto byteAt = [&line](std::size_t at) -> unsigned char {
        return at < line.size() ? static_cast<unsigned char>(line[at]) : static_cast<unsigned char>(0);
    };
    Arguments arguments;
    std::size_t at = 0;
    bool quoting = false;
    for (;;) {
        std::string argument;
        while (byteAt(at) != 0) {
            const unsigned char c = byteAt(at);
            if (c == '"') {
                quoting = !quoting;
            } else {
                argument += static_cast<char>(c);
            }
            const unsigned char next = byteAt(++at);
            if (!(next > 0x20 || (quoting && next != 0))) {
                break;
            }
        }
        arguments.push_back(argument);
        while (byteAt(at) >= 0x01 && byteAt(at) <= 0x20) {
            ++at;
        }
        if (byteAt(at) == 0) {
            return arguments;
        }
    }
}

TEST(RawCommandLine, SplitterFollowsTheWorkedExamples) {
    EXPECT_EQ(split(""), Arguments{""});
    EXPECT_EQ(split("a\"b c\"d"), Arguments{"ab cd"});
    EXPECT_EQ(split("x \"\" y"), (Arguments{"x", "", "y"}));
    EXPECT_EQ(split("\"C:\\my dir\\a.bmp\" 5"), (Arguments{"C:\\my dir\\a.bmp", "5"}));
    EXPECT_EQ(split(" tool a"), (Arguments{" tool", "a"}));
    EXPECT_EQ(split("  tool a"), (Arguments{" ", "tool", "a"}));
    EXPECT_EQ(split("\x95\x5c a"), (Arguments{"\x95\x5c", "a"}));
}

TEST(RawCommandLine, SplitsBackIntoTheSameArguments) {
    const Arguments arguments{
        "animconv.exe", "use0xfe",  "",   " ",    "out put.anim", "\t\n12",     "-o",
        "%s",           "a\\b.bmp", "\\", "\\\\", "\x95\x5c.bmp", "\x81\x81 7", std::string(5000, 'n')};
    const std::optional<std::string> line = rawCommandLine(arguments);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(split(*line), arguments);
}

TEST(RawCommandLine, RefusesWhatTheRulesCannotCarry) {
    EXPECT_FALSE(rawCommandLine({"animconv.exe", "a\"b"}).has_value());
}

}  // namespace
}  // namespace e2e
