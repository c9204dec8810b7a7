#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/platform.h"
#include "reference_command_line.h"

namespace animconv {
namespace {

std::vector<std::string> split(const std::string& line) {
    const Arguments arguments = splitCommandLine(line.c_str());
    std::vector<std::string> values;
    for (int i = 0; i < arguments.count; ++i) {
        values.emplace_back(arguments.values[i]);
    }
    EXPECT_EQ(arguments.values[arguments.count], nullptr) << "the vector ends with a null entry";
    // The tool keeps both blocks until it exits; handed back here so that the leak checker stays useful.
    platform::releaseMemory(arguments.values[0]);
    platform::releaseMemory(arguments.values);
    return values;
}

using Words = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheQuotingRules) {
    struct Case {
        const char* name;
        std::string line;
        Words expected;
    };
    const Case cases[] = {
        {"plain words", "prog use0xfe out a.bmp 10", {"prog", "use0xfe", "out", "a.bmp", "10"}},
        {"empty line gives one empty argument", "", {""}},
        {"quoted program name", "\"C:\\tools\\animconv.exe\" no0xfe", {"C:\\tools\\animconv.exe", "no0xfe"}},
        {"quoted space and backslash", "p \"my dir\\a b.bmp\" x", {"p", "my dir\\a b.bmp", "x"}},
        {"quotes in the middle of a word", "p a\"b c\"d", {"p", "ab cd"}},
        {"lone pair of quotes", "p \"\" x", {"p", "", "x"}},
        {"one leading space stays in argument 0", " prog a", {" prog", "a"}},
        {"two leading spaces make argument 0 a space", "  prog a", {" ", "prog", "a"}},
        {"tabs and control bytes separate",
         "p\ta\x01\x1f"
         "b",
         {"p", "a", "b"}},
        {"trailing blanks add nothing", "p a  \t ", {"p", "a"}},
        {"unclosed quote runs to the end", "p \"a b", {"p", "a b"}},
        {"backslash before a quote is no escape", "p a\\\"b c\"", {"p", "a\\b c"}},
        {"Shift_JIS bytes never end an argument",
         "p \x83\x74\x83\x40\x83\x43\x83\x8b.bmp \x81\x40x",
         {"p", "\x83\x74\x83\x40\x83\x43\x83\x8b.bmp", "\x81\x40x"}},
        {"0x20 inside quotes is kept", "p \"  \"", {"p", "  "}},
        {"a trail byte 0x5C is no escape", "p \x95\x5c a", {"p", "\x95\x5c", "a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(split(c.line), c.expected);
    }
}

TEST(ParseWaitTime, ReadsLikeTheToolAlwaysHas) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"5", 5},
        {"300", 44},
        {"256", 0},
        {"-1", 255},
        {"- 7", 249},
        {" 12", 12},
        {"12abc", 12},
        {"0d20", 20},
        {"0D20", 20},
        {"0x10", 0},
        {"+5", 0},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"2147483647", 255},
        {"2147483648", 255},  // saturated: 2,147,483,647
        {"2147483904", 255},  // low 8 bits 0, still saturated
        {"4294967296", 255},
        {"99999999999999999999999", 255},
        {"-2147483647", 1},
        {"-2147483648", 1},  // -2,147,483,647, not -2,147,483,648
        {"-99999999999", 1},
        {"-0d5", 251},
        {"\x81\xa0\xff"
         "9",
         9},  // bytes 0x80..0xFF are leading blanks
        {"\x81\x40"
         "9",
         0},  // but a Shift_JIS space's trail byte 0x40 is not
        {"\t\n -\x90 3", 253},
        {"0d", 0},
        {"0dd5", 0},
        {"00012", 12},
        {"1 2", 1},
        {"0", 0},
        {"255", 255},
        {"2147483646", 254},
        {"--5", 0},
        {"\x81-5", 251},
        {" -0D7", 249},
        {"0d-5", 0},
        {"0d 9", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseWaitTime(c.text), c.expected);
        // The fuzz target compares the tool with this reference on any text.
        EXPECT_EQ(testsupport::referenceWaitByte(c.text), c.expected);
    }
}

}  // namespace
}  // namespace animconv
