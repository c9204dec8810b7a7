// animmake never harms the user's files: outputs that are inputs are refused by identity, -a extends only a
// whole stream, and a failure inside the program is one line with the stream left as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "make_test_support.h"

namespace maketest {
namespace {

namespace fs = std::filesystem;

// Every regular file under `folder` (links followed) with its bytes.
std::map<std::string, Bytes> filesUnder(const std::string& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[entry.path().lexically_relative(folder).string()] = readBytes(entry.path().string());
        }
    }
    return files;
}

struct SafetyCase {
    std::vector<std::string> arguments;
    int status;
    std::string error;         // standard error after "animmake: ", up to its end (or, with `...`, a prefix)
    std::string written = "";  // for a run that succeeds: the one file it changes
};

TEST(AnimmakeSafety, OutputsNeverHarmInputs) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    fs::create_directories(folder + "/in");
    fs::create_directories(folder + "/bmps");
    photoLike(64, 48, 0).pngsave((folder + "/photo.png").c_str());
    photoLike(64, 48, 9).pngsave((folder + "/in/a.png").c_str());
    photoLike(64, 48, 0).jpegsave((folder + "/photo.jpg").c_str());
    writeBytes(folder + "/list.txt", testsupport::bytesOf("in/a.png\n"));
    fs::create_symlink("in/a.png", folder + "/link.png");
    fs::create_hard_link(folder + "/photo.png", folder + "/hard.png");
    fs::create_symlink("../photo.png", folder + "/bmps/frame-000001.bmp");
    writeBytes(folder + "/empty.bin", {});
    ASSERT_EQ(animmake({"-q", "-o", "whole.bin", "photo.png"}, folder).status, 0);
    const Bytes whole = readBytes(folder + "/whole.bin");
    writeBytes(folder + "/cut.bin", testsupport::concat({whole, Bytes(whole.begin(), whole.begin() + 100)}));
    const std::string cutAt = std::to_string(whole.size());

    const SafetyCase cases[] = {
        {{"-f", "-o", "photo.png", "photo.png"},
         2,
         "photo.png: the stream would replace the input photo.png; nothing was written"},
        {{"-f", "-o", "./in/../in/a.png", "in/a.png"},
         2,
         "./in/../in/a.png: the stream would replace the input in/a.png; nothing was written"},
        {{"-f", "-o", "in/a.png", "@list.txt"},
         2,
         "in/a.png: the stream would replace the input in/a.png; nothing was written"},
        {{"-f", "-o", "list.txt", "@list.txt"},
         2,
         "list.txt: the stream would replace the input list.txt; nothing was written"},
        {{"-f", "-o", "in/a.png", "in"},
         2,
         "in/a.png: the stream would replace the input in/a.png; nothing was written"},
        {{"-a", "-o", "hard.png", "photo.png"},
         2,
         "hard.png: the stream to append to is the input photo.png; nothing was written"},
        {{"--frames-dir", "in", "-o", "out.bin", "in"},
         2,
         "in: the frames folder holds inputs: in/a.png; nothing was written"},
        {{"--frames-dir", "bmps", "-o", "out.bin", "photo.png"},
         2,
         "bmps/frame-000001.bmp: the frame file is the input photo.png; nothing was written"},
        {{"-a", "-o", "photo.jpg", "photo.png"},
         1,
         "photo.jpg: not an animation stream: a JPEG image; it was left as it was"},
        {{"-a", "-o", "cut.bin", "photo.png"},
         1,
         "cut.bin: not an animation stream: frame 2 at byte " + cutAt + ": truncated: ..."},
        // A link's own name is replaced; the input it points at keeps its bytes.
        {{"-q", "-f", "-o", "link.png", "in"}, 0, "", "link.png"},
        {{"-q", "-f", "-o", "hard.png", "photo.png"}, 0, "", "hard.png"},
        {{"-q", "-a", "-o", "empty.bin", "photo.png"}, 0, "", "empty.bin"},
    };
    for (const SafetyCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const std::map<std::string, Bytes> before = filesUnder(folder);
        const ProcessResult result = animmake(c.arguments, folder);
        EXPECT_EQ(result.status, c.status);
        std::map<std::string, Bytes> after = filesUnder(folder);
        if (c.written.empty()) {
            // "..." ends the part of the message that is fixed.
            const std::string fixed = "animmake: " + c.error.substr(0, c.error.find("..."));
            EXPECT_EQ(
                c.error.find("...") == std::string::npos ? result.err : result.err.substr(0, fixed.size()),
                c.error.find("...") == std::string::npos ? fixed + "\n" : fixed);
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        } else {
            EXPECT_EQ(result.err, "");
            EXPECT_EQ(readStream(folder + "/" + c.written).size(), 1u);
            after[c.written] = before.at(c.written);
        }
        EXPECT_TRUE(after == before) << "a file was changed";
        writeBytes(folder + "/empty.bin", {});
        fs::remove(folder + "/link.png");
        fs::create_symlink("in/a.png", folder + "/link.png");
        fs::remove(folder + "/hard.png");
        fs::create_hard_link(folder + "/photo.png", folder + "/hard.png");
    }
}

// A stream or frame file marked read-only (no write bit for anyone) is never replaced or appended to, -f
// or not, whoever runs animmake: one line, status 2, every file as it was.
TEST(AnimmakeSafety, FilesMarkedReadOnlyAreLeftAlone) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    fs::create_directories(folder + "/bmps");
    photoLike(64, 48, 0).pngsave((folder + "/photo.png").c_str());
    ASSERT_EQ(animmake({"-q", "-o", "locked.bin", "photo.png"}, folder).status, 0);
    writeBytes(folder + "/bmps/frame-000001.bmp", testsupport::bytesOf("BM"));
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(folder + "/locked.bin", readOnly);
    fs::permissions(folder + "/bmps/frame-000001.bmp", readOnly);
    const std::string streamRefused = "locked.bin: the stream is marked read-only; nothing was written";
    const SafetyCase cases[] = {
        {{"-o", "locked.bin", "photo.png"}, 2, streamRefused},
        {{"-f", "-o", "locked.bin", "photo.png"}, 2, streamRefused},
        {{"-a", "-o", "locked.bin", "photo.png"}, 2, streamRefused},
        {{"--frames-dir", "bmps", "-o", "out.bin", "photo.png"},
         2,
         "bmps/frame-000001.bmp: the frame file is marked read-only; nothing was written"},
    };
    for (const SafetyCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const std::map<std::string, Bytes> before = filesUnder(folder);
        const ProcessResult result = animmake(c.arguments, folder);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, "animmake: " + c.error + "\n");
        EXPECT_TRUE(filesUnder(folder) == before) << "a file was changed";
        EXPECT_EQ(fs::status(folder + "/locked.bin").permissions(), readOnly);
    }
}

// A thread that cannot start (no room for its stack) is one line and status 1, never std::terminate; the
// temporary file goes and the stream stays.
TEST(AnimmakeSafety, WorkerThreadsThatCannotStartFailCleanly) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    photoLike(64, 48, 0).pngsave((folder + "/photo.png").c_str());
    writeBytes(folder + "/out.bin", {1, 2, 3});
    const ProcessResult result = testsupport::runProgram(
        "/usr/bin/prlimit", {"--stack=68719476736", ANIMMAKE_PATH, "-q", "-f", "-o", "out.bin", "photo.png"},
        folder);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("animmake: cannot start the worker threads (", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(filesUnder(folder),
              (std::map<std::string, Bytes>{{"out.bin", {1, 2, 3}},
                                            {"photo.png", readBytes(folder + "/photo.png")}}));
}

}  // namespace
}  // namespace maketest
