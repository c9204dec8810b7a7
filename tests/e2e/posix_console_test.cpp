// Standard output seen request by request (a packet socket keeps each write apart), and standard output
// that cannot be written: the frames and the exit status must not change.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expected_text.h"
#include "posix_runner.h"
#include "program_runner.h"

namespace e2e {
namespace {

using Writes = std::vector<std::string>;

}  // namespace

void PrintTo(StandardOutput output, std::ostream* stream) {
    const char* names[] = {"pipe", "records", "/dev/full", "closed"};
    *stream << names[static_cast<int>(output)];
}

namespace {

std::string str(std::string_view text) {
    return std::string(text);
}

ProgramRun runWithOutput(const FreshFolder& folder, const std::vector<std::string>& arguments,
                         StandardOutput output) {
    PosixRunOptions options;
    options.standardOutput = output;
    return PosixRunner(programPath()).runWith(arguments, folder.path(), options);
}

// Each non-empty stretch between line feeds is one request, each line end another of 2 bytes.
TEST(ConsoleWrites, EachStretchAndEachLineEndIsOneRequest) {
    FreshFolder folder;
    folder.put("a.bmp", directImage(randomPicture(21, 8, 100)));
    folder.put("b.bmp", directImage(randomPicture(22, 8, 100)));
    const ProgramRun run =
        runWithOutput(folder, {"use0xfe", "out.anim", "a.bmp", "1", "b.bmp", "2"}, StandardOutput::records);
    EXPECT_TRUE(endedWith(run, 0));
    const std::string done = str(text::kDone);
    EXPECT_EQ(run.outputWrites, (Writes{"a.bmp" + str(text::kConvertingTail), "\r\n", done, "\r\n",
                                        "b.bmp" + str(text::kConvertingTail), "\r\n", done, "\r\n"}));
}

TEST(ConsoleWrites, LineFeedsInsideAnArgumentSplitTheRequests) {
    FreshFolder folder;
    const ProgramRun run = runWithOutput(folder, {"no0xfe", "out.anim", "\nno\n\nsuch\r\nfile.bmp", "1"},
                                         StandardOutput::records);
    EXPECT_TRUE(endedWith(run, 1));
    // No request for the empty stretches; the CR already in the text stays.
    EXPECT_EQ(run.outputWrites, (Writes{str(text::kFileColon), "\r\n", "no", "\r\n", "\r\n", "such\r", "\r\n",
                                        "file.bmp" + str(text::kCannotOpenTail), "\r\n"}));
}

TEST(ConsoleWrites, LineMessagesAndUsage) {
    FreshFolder folder;
    folder.put("bad.bmp", bytesOf("BM"));
    const ProgramRun refused =
        runWithOutput(folder, {"no0xfe", "out.anim", "bad.bmp", "1"}, StandardOutput::records);
    EXPECT_TRUE(endedWith(refused, 1));
    EXPECT_EQ(refused.outputWrites, (Writes{str(text::kNotBmp), "\r\n"}));

    const ProgramRun usage = runWithOutput(folder, {"no0xfe"}, StandardOutput::records);
    EXPECT_TRUE(endedWith(usage, -1));
    EXPECT_EQ(usage.outputWrites, (Writes{"Usage> animconv Mode OutputFile InputFile Waittime...", "\r\n"}));
}

TEST(ConsoleWrites, WriteFailureMessage) {
    FreshFolder folder;
    folder.put("a.bmp", directImage(solidPicture({9, 9, 9})));
    const ProgramRun run =
        runWithOutput(folder, {"no0xfe", "/dev/full", "a.bmp", "1"}, StandardOutput::records);
    EXPECT_TRUE(endedWith(run, 1));
    EXPECT_EQ(run.outputWrites,
              (Writes{"a.bmp" + str(text::kConvertingTail), "\r\n", str(text::kCannotWriteOutput), "\r\n"}));
}

// Failed console writes change nothing else: same frames, same status.
class UnwritableConsole : public ::testing::TestWithParam<StandardOutput> {};

TEST_P(UnwritableConsole, FramesAndStatusStayTheSame) {
    FreshFolder folder;
    const Picture a = randomPicture(23, 8, 100);
    const Picture b = randomPicture(24, 8, 100);
    folder.put("a.bmp", directImage(a));
    folder.put("b.bmp", directImage(b));
    folder.put("c.bmp", bytesOf("not an image"));

    const ProgramRun run =
        runWithOutput(folder, {"use0xfe", "out.anim", "a.bmp", "1", "b.bmp", "2"}, GetParam());
    EXPECT_TRUE(endedWith(run, 0));
    const std::optional<Bytes> written = folder.read("out.anim");
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(sameBytes(*written, referenceRun(Mode::delta, {{a, 1}, {b, 2}})));

    const ProgramRun failing =
        runWithOutput(folder, {"no0xfe", "out.anim", "a.bmp", "3", "c.bmp", "4"}, GetParam());
    EXPECT_TRUE(endedWith(failing, 1));
    EXPECT_TRUE(sameBytes(*folder.read("out.anim"), concat({referenceRun(Mode::delta, {{a, 1}, {b, 2}}),
                                                            referenceRun(Mode::plain, {{a, 3}})})));
}

// With descriptor 1 closed, the first file the tool opens gets that number; console messages must still
// never reach the output file in front of the frames.
std::string outputName(const ::testing::TestParamInfo<StandardOutput>& output) {
    return output.param == StandardOutput::deviceFull ? "DeviceFull" : "Closed";
}

INSTANTIATE_TEST_SUITE_P(Console, UnwritableConsole,
                         ::testing::Values(StandardOutput::deviceFull, StandardOutput::closed), outputName);

}  // namespace
}  // namespace e2e
