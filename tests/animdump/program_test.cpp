// animdump run as its own process: statuses, standard output and standard error.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

#include "stream_frames.h"

namespace dumptest {
namespace {

using namespace testsupport;

using Bytes = std::vector<std::uint8_t>;

const Bytes kSmallStream = {0x10, 0x7D, 0x00, 0xE7, 0xFF, 0x14, 0x00, 0xAD,
                            0xFF, 0x0A, 0xFE, 0x7E, 0x2C, 0xFF, 0x05};
const std::string kValidReport =
    "frame      offset   bytes   runs  unchanged  wait\n"
    "    1           0      10      3          0    10\n"
    "    2          10       5      1      32300     5\n"
    "total: 2 frames, 15 bytes, 4 runs, 32300 unchanged pixels\n"
    "valid\n";
const std::string kTryHelp = "Try 'animdump --help' for more information.\n";

ProcessResult animdump(const std::vector<std::string>& arguments, const std::string& folder) {
    return runProgram(ANIMDUMP_PATH, arguments, folder);
}

struct UsageCase {
    std::vector<std::string> arguments;
    std::string error;
};

TEST(AnimdumpCommandLine, UsageErrorsGoToStandardErrorWithStatus2) {
    const std::vector<UsageCase> cases = {
        {{}, "missing FILE operand"},
        {{"a", "b"}, "extra operand 'b'"},
        {{"--bogus", "a"}, "unrecognized option '--bogus'"},
        {{"--gi", "x.gif", "a"}, "unrecognized option '--gi'"},
        {{"-x", "a"}, "invalid option '-x'"},
        {{"a", "--gif"}, "option '--gif' needs a value"},
        {{"--help=yes"}, "option '--help' takes no value"},
        {{"--gif", "x.gif", "-g", "y.gif", "a"}, "option '-g' given twice"},
        {{"--delay-scale", "2", "a"}, "option '--delay-scale' needs '--gif' or '--play'"},
        {{"--gif", "x.gif", "--delay-scale", "1.2345", "a"},
         "invalid delay scale '1.2345' (a number from 0 to 1000 with at most 3 decimals)"},
        {{"--gif", "x.gif", "--delay-scale=-1", "a"},
         "invalid delay scale '-1' (a number from 0 to 1000 with at most 3 decimals)"},
        {{"--gif", "x.gif", "-d", "1000.001", "a"},
         "invalid delay scale '1000.001' (a number from 0 to 1000 with at most 3 decimals)"},
        {{"--show", "0", "a"}, "invalid frame number '0' (1 or more)"},
        {{"--show=2x", "a"}, "invalid frame number '2x' (1 or more)"},
    };
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    for (const UsageCase& c : cases) {
        SCOPED_TRACE(c.error);
        const ProcessResult result = animdump(c.arguments, folder);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "animdump: " + c.error + "\n" + kTryHelp);
    }
}

TEST(AnimdumpCommandLine, HelpAndVersionGoToStandardOutput) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    for (const char* option : {"--help", "-h", "-?"}) {
        const ProcessResult result = animdump({"--gif", "x.gif", option, "--bogus"}, folder);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out.rfind("Usage: animdump [OPTION]... FILE\n", 0), 0u) << result.out;
        EXPECT_EQ(result.err, "");
    }
    for (const char* option : {"--version", "-V"}) {
        const ProcessResult result = animdump({option}, folder);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "animdump " ANIMCONV_VERSION "\n");
        EXPECT_EQ(result.err, "");
    }
}

TEST(AnimdumpCommandLine, OptionsAfterTheFileAndAfterDoubleDash) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    writeFile(folder + "/-s", kSmallStream);
    const ProcessResult result = animdump({"--", "-s"}, folder);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kValidReport);

    writeFile(folder + "/anim.bin", kSmallStream);
    const ProcessResult late = animdump({folder + "/anim.bin", "--gif=" + folder + "/late.gif"}, folder);
    EXPECT_EQ(late.status, 0);
    EXPECT_TRUE(std::filesystem::exists(folder + "/late.gif"));
}

TEST(AnimdumpReport, ValidAndInvalidStreams) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    const std::string path = folder + "/anim.bin";

    writeFile(path, kSmallStream);
    ProcessResult result = animdump({path}, folder);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kValidReport);
    EXPECT_EQ(result.err, "");

    writeFile(path, Bytes(kSmallStream.begin(), kSmallStream.begin() + 14));
    result = animdump({path}, folder);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(
        result.out,
        "frame      offset   bytes   runs  unchanged  wait\n"
        "    1           0      10      3          0    10\n"
        "total: 1 frame, 10 bytes, 3 runs, 0 unchanged pixels\n"
        "invalid: frame 2 at byte 10: truncated: the file ends inside the terminator at byte 13, before "
        "the wait byte\n");
    EXPECT_EQ(result.err, "");

    writeFile(path, {0x10, 0x7E, 0x2D, 0xFF, 0x00});
    result = animdump({path}, folder);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(
        result.out,
        "frame      offset   bytes   runs  unchanged  wait\n"
        "total: 0 frames, 0 bytes, 0 runs, 0 unchanged pixels\n"
        "invalid: frame 1 at byte 0: the run of 32301 pixels at byte 0 crosses the frame's end, after 0 "
        "of 32300 pixels\n");
}

TEST(AnimdumpReport, FilesThatCannotBeRead) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    ProcessResult result = animdump({folder + "/missing.bin"}, folder);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "animdump: cannot read '" + folder + "/missing.bin': No such file or directory\n");

    result = animdump({folder}, folder);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "animdump: cannot read '" + folder + "': Is a directory\n");
}

TEST(AnimdumpImages, NotWrittenForAnInvalidOrEmptyStream) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    const std::string gif = folder + "/out.gif";
    writeFile(folder + "/cut.bin", Bytes(kSmallStream.begin(), kSmallStream.begin() + 9));
    ProcessResult result = animdump({"--gif", gif, "--png", folder + "/png", folder + "/cut.bin"}, folder);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "animdump: no images written: the stream is invalid\n");
    EXPECT_FALSE(std::filesystem::exists(gif));
    EXPECT_FALSE(std::filesystem::exists(folder + "/png"));

    writeFile(folder + "/empty.bin", {});
    result = animdump({"--gif", gif, folder + "/empty.bin"}, folder);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "animdump: no images written: the stream is invalid\n");
    EXPECT_FALSE(std::filesystem::exists(gif));
}

// A folder of an earlier, longer stream's frames ends up with this stream's frames alone; other names stay.
TEST(AnimdumpImages, PngFolderHoldsThisStreamsFramesOnly) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    writeFile(folder + "/anim.bin", kSmallStream);
    std::filesystem::create_directory(folder + "/png");
    for (const char* name : {"frame-0003.png", "frame-0010.png", "notes.txt", "frame-0003.png.txt"}) {
        writeFile(folder + "/png/" + name, {'x'});
    }
    ASSERT_EQ(animdump({"--png", "png", "anim.bin"}, folder).status, 0);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder + "/png")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame-0001.png", "frame-0002.png", "frame-0003.png.txt",
                                               "notes.txt"}));
}

TEST(AnimdumpImages, UnwritableOutputs) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    const std::string path = folder + "/anim.bin";
    writeFile(path, kSmallStream);

    ProcessResult result = animdump({"--gif", folder + "/no/such/folder/out.gif", path}, folder);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, kValidReport);
    EXPECT_EQ(result.err,
              "animdump: cannot write '" + folder + "/no/such/folder/out.gif': the folder does not exist\n");

    result = animdump({"--png", folder + "/no/such/folder", path}, folder);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err,
              "animdump: cannot create folder '" + folder + "/no/such/folder': No such file or directory\n");

    result = animdump({"--png", path, path}, folder);  // a file where the folder should be
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "animdump: cannot write into '" + path + "': not a folder\n");
}

// A file marked read-only (no write bit for anyone) is never written over, whoever runs animdump: one line,
// status 2, nothing written.
TEST(AnimdumpImages, FilesMarkedReadOnlyAreLeftAlone) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--gif", "locked.gif", "s.bin"}, "locked.gif"},
        {{"--png", "png", "s.bin"}, "png/frame-0002.png"},
        {{"--gif", "out.gif", "--png", "png", "s.bin"}, "png/frame-0002.png"},
    };
    for (const auto& [arguments, locked] : cases) {
        SCOPED_TRACE(locked);
        const FreshFolder scratch;
        scratch.put("s.bin", kSmallStream);
        scratch.put("locked.gif", {'G', 'I', 'F'});
        scratch.makeFolder("png");
        scratch.put("png/frame-0002.png", {'P', 'N', 'G'});
        for (const char* name : {"locked.gif", "png/frame-0002.png"}) {
            std::filesystem::permissions(scratch.pathOf(name), std::filesystem::perms::owner_read |
                                                                   std::filesystem::perms::group_read |
                                                                   std::filesystem::perms::others_read);
        }
        const ProcessResult result = animdump(arguments, scratch.path());
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err, "animdump: cannot write '" + locked +
                                  "': the file is marked read-only; nothing was written\n");
        EXPECT_EQ(scratch.read("locked.gif"), (Bytes{'G', 'I', 'F'}));
        EXPECT_EQ(scratch.read("png/frame-0002.png"), (Bytes{'P', 'N', 'G'}));
        EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"locked.gif", "png", "s.bin"}));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.pathOf("png")),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

struct OverStreamCase {
    const char* name;
    std::vector<std::string> arguments;  // run in the folder that holds s.bin, sub/ and png/
    std::string image;                   // the image named in the refusal
    std::string stream;
};

// An image renamed into place over the stream being read would take it away: refused by identity, however
// the names are spelt, before anything is written.
TEST(AnimdumpImages, AnImageNeverReplacesTheStream) {
    const std::vector<OverStreamCase> cases = {
        {"the same name", {"--gif", "s.bin", "s.bin"}, "s.bin", "s.bin"},
        {"spelt another way", {"--gif", "sub/../s.bin", "./s.bin"}, "sub/../s.bin", "./s.bin"},
        {"the stream named like a PNG",
         {"--png", "png", "png/frame-0002.png"},
         "png/frame-0002.png",
         "png/frame-0002.png"},
        {"a PNG as a link to the stream's folder entry",
         {"--png", "png-link", "png/frame-0002.png"},
         "png-link/frame-0002.png",
         "png/frame-0002.png"},
    };
    for (const OverStreamCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FreshFolder scratch;
        scratch.put("s.bin", kSmallStream);
        scratch.makeFolder("sub");
        scratch.makeFolder("png");
        scratch.put("png/frame-0002.png", kSmallStream);
        std::filesystem::create_directory_symlink("png", scratch.pathOf("png-link"));
        const ProcessResult result = animdump(c.arguments, scratch.path());
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err, "animdump: cannot write '" + c.image +
                                  "': it would replace the stream being "
                                  "read, '" +
                                  c.stream + "'; nothing was written\n");
        EXPECT_EQ(scratch.read("s.bin"), kSmallStream);
        EXPECT_EQ(scratch.read("png/frame-0002.png"), kSmallStream);
        EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"png", "png-link", "s.bin", "sub"}));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.pathOf("png")),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

// A link's own name is replaced by the image; the stream it points at is not touched.
TEST(AnimdumpImages, ALinkNamedAsTheImageIsReplacedNotWrittenThrough) {
    const FreshFolder scratch;
    scratch.put("s.bin", kSmallStream);
    std::filesystem::create_symlink("s.bin", scratch.pathOf("link.gif"));
    const ProcessResult result = animdump({"--gif", "link.gif", "s.bin"}, scratch.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(scratch.read("s.bin"), kSmallStream);
    EXPECT_FALSE(std::filesystem::is_symlink(scratch.pathOf("link.gif")));
    const std::optional<Bytes> gif = scratch.read("link.gif");
    ASSERT_TRUE(gif.has_value());
    EXPECT_EQ(std::string(gif->begin(), gif->begin() + 6), "GIF89a");
}

// A GIF or PNG that cannot be written whole (the file size limit stands for a full disk) leaves the file
// that was there as it was, and no temporary file.
TEST(AnimdumpImages, AnImageWrittenInPartLeavesTheOldFile) {
    const std::vector<std::string> outputs = {"--gif", "--png"};
    for (const std::string& option : outputs) {
        SCOPED_TRACE(option);
        const FreshFolder scratch;
        scratch.put("s.bin", kSmallStream);
        scratch.makeFolder("png");
        const Bytes old = bytesOf("the old file");
        scratch.put("old.gif", old);
        scratch.put("png/frame-0001.png", old);
        ProcessOptions limited;
        limited.fileSizeLimit = 40;
        const ProcessRun run =
            runProcess(ANIMDUMP_PATH, {ANIMDUMP_PATH, option, option == "--gif" ? "old.gif" : "png", "s.bin"},
                       scratch.path(), limited);
        ASSERT_TRUE(run.exited) << run.problem;
        EXPECT_EQ(run.status, 2u);
        const std::string written = option == "--gif" ? "old.gif" : "png/frame-0001.png";
        EXPECT_EQ(run.errors, "animdump: cannot write '" + written + "': the disk is full\n");
        EXPECT_EQ(scratch.read(written), old);
        EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"old.gif", "png", "s.bin"}));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.pathOf("png")),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

// Interrupted while it writes, animdump leaves the GIF that was there and no temporary file.
// Interrupted (SIGINT) or killed (SIGKILL) while the GIF is being written: the old one stays, and no
// temporary file is left beside it.
TEST(AnimdumpImages, AnInterruptLeavesTheOldFilesAndNothingBeside) {
    for (const int signal : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(signal);
        const FreshFolder scratch;
        Bytes stream(kSmallStream.begin(), kSmallStream.begin() + 10);
        // Seconds of PNGs, interrupted long before; the report (50 bytes a frame) fits in the output pipe.
        for (int frame = 0; frame < 1000; ++frame) {
            stream.insert(stream.end(), kSmallStream.begin() + 10, kSmallStream.end());
        }
        scratch.put("s.bin", stream);
        const Bytes old = bytesOf("the old GIF");
        scratch.put("old.gif", old);
        ProcessOptions options;
        options.onStart = [&](int child) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!std::filesystem::exists(scratch.pathOf("png/frame-0002.png")) &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            ::kill(child, signal);
        };
        const ProcessRun run =
            runProcess(ANIMDUMP_PATH, {ANIMDUMP_PATH, "--gif", "old.gif", "--png", "png", "s.bin"},
                       scratch.path(), options);
        if (signal == SIGINT) {
            ASSERT_TRUE(run.exited) << run.problem;
            EXPECT_EQ(run.status, 130u);
        }
        EXPECT_EQ(scratch.read("old.gif"), old);
        EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"old.gif", "png", "s.bin"}));
        for (const auto& entry : std::filesystem::directory_iterator(scratch.pathOf("png"))) {
            EXPECT_EQ(entry.path().extension(), ".png") << entry.path();
        }
    }
}

TEST(AnimdumpShow, DrawsTheFrameWithTerminalCubeColours) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    const std::string path = folder + "/anim.bin";
    writeFile(path, kSmallStream);

    const ProcessResult result = animdump({"--show", "2", path}, folder);
    ASSERT_EQ(result.status, 0);
    ASSERT_EQ(result.out.rfind(kValidReport, 0), 0u);
    const std::string picture = result.out.substr(kValidReport.size());

    auto blocks = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += "\xE2\x96\x80";
        }
        return text;
    };
    // Rows 0-167 are index 16 (black, terminal colour 16). Row 168 turns to 231 (white, 231) at x = 80;
    // row 169 is 231 up to x = 16, then 20 (red level 4: terminal colour 16 + 36 x 4 = 160).
    const std::string blackLine = "\x1B[38;5;16;48;5;16m" + blocks(190) + "\x1B[0m\n";
    std::string expected;
    for (int line = 0; line < 84; ++line) {
        expected += blackLine;
    }
    expected += "\x1B[38;5;16;48;5;231m" + blocks(17) + "\x1B[38;5;16;48;5;160m" + blocks(63) +
                "\x1B[38;5;231;48;5;160m" + blocks(110) + "\x1B[0m\n";
    EXPECT_EQ(picture, expected);

    const ProcessResult beyond = animdump({"--show", "3", path}, folder);
    EXPECT_EQ(beyond.status, 2);
    EXPECT_EQ(beyond.err, "animdump: cannot show frame 3: the stream holds 2 frames\n");
}

}  // namespace
}  // namespace dumptest
