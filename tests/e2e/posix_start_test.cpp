// Argument 0 as a POSIX parent may choose it: the usage message repeats it byte for byte.
#include <string>

#include <gtest/gtest.h>

#include "expected_text.h"
#include "posix_runner.h"
#include "program_runner.h"

namespace e2e {
namespace {

class ArgumentZero : public ::testing::TestWithParam<std::string> {};

TEST_P(ArgumentZero, IsRepeatedByTheUsageMessage) {
    FreshFolder folder;
    PosixRunOptions options;
    options.argumentZero = GetParam();
    const PosixRunner runner(programPath());
    const ProgramRun run = runner.runWith({"use0xfe", "out.anim", "a.bmp"}, folder.path(), options);
    EXPECT_TRUE(endedWith(run, -1));
    EXPECT_TRUE(sameText(run.output, text::usage(GetParam())));
    EXPECT_TRUE(folder.entries().empty());
}

// Empty (two spaces after "Usage>"), a path with a space, Shift_JIS bytes, a "%s" that must not be expanded,
// and a line feed that the console turns into CR LF.
INSTANTIATE_TEST_SUITE_P(Names, ArgumentZero,
                         ::testing::Values("", "/opt/anim tools/animconv", "\x95\x5c\x83\x8c.exe", "%s%s"));

TEST(ArgumentZeroLineFeed, GoesOutAsCarriageReturnLineFeed) {
    FreshFolder folder;
    PosixRunOptions options;
    options.argumentZero = "two\nlines";
    const PosixRunner runner(programPath());
    const ProgramRun run = runner.runWith({}, folder.path(), options);
    EXPECT_TRUE(endedWith(run, -1));
    EXPECT_TRUE(sameText(run.output, "Usage> two\r\nlines Mode OutputFile InputFile Waittime...\r\n"));
}

}  // namespace
}  // namespace e2e
