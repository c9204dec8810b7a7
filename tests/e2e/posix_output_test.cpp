// Output troubles that only a POSIX system lets a test arrange: a device that refuses every write, a file
// system or a file size limit that runs out in the middle of a run, writes made to fail at every frame, and
// files another process holds locked.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expected_text.h"
#include "posix_runner.h"
#include "program_runner.h"

namespace e2e {
namespace {

constexpr std::size_t kPage = 4096;

const PosixRunner& posixRunner() {
    static const PosixRunner runner(programPath());
    return runner;
}

struct Frames {
    std::vector<std::string> names;
    std::vector<Picture> pictures;
    std::vector<Bytes> encoded;  // each frame's bytes as the reference encoder appends them in one run
};

// `count` frames with short runs (large frames), put in `folder` as f0.bmp, f1.bmp, ...
Frames busyFrames(const FreshFolder& folder, std::size_t count) {
    Frames frames;
    ReferenceStream stream(Mode::delta);
    for (std::size_t i = 0; i < count; ++i) {
        frames.names.push_back("f" + std::to_string(i) + ".bmp");
        frames.pictures.push_back(randomPicture(static_cast<std::uint32_t>(40 + i), 150, 3));
        folder.put(frames.names.back(), directImage(frames.pictures.back()));
        frames.encoded.push_back(stream.nextFrame(frames.pictures.back(), static_cast<std::uint8_t>(i + 1)));
    }
    return frames;
}

std::vector<std::string> deltaArguments(const Frames& frames, const std::string& output) {
    std::vector<std::string> arguments{"use0xfe", output};
    for (std::size_t i = 0; i < frames.names.size(); ++i) {
        arguments.push_back(frames.names[i]);
        arguments.push_back(std::to_string(i + 1));
    }
    return arguments;
}

// Frames 0 .. `written` - 1 converted, then frame `written` fails to be written.
std::string messagesUpToWriteFailure(const Frames& frames, std::size_t written) {
    std::string messages;
    for (std::size_t i = 0; i < written; ++i) {
        messages += text::convertedFrame(frames.names[i]);
    }
    return messages + text::converting(frames.names[written]) + text::line(text::kCannotWriteOutput);
}

// `before`, then the first `count` frames as the run appends them.
Bytes withFrames(Bytes before, const Frames& frames, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        before = concat({before, frames.encoded[i]});
    }
    return before;
}

TEST(WriteFailure, DeviceThatRefusesEveryWrite) {
    FreshFolder folder;
    const Frames frames = busyFrames(folder, 3);
    const ProgramRun run = runProgram(deltaArguments(frames, "/dev/full"), folder.path());
    EXPECT_TRUE(endedWith(run, 1));
    EXPECT_TRUE(sameText(run.output, messagesUpToWriteFailure(frames, 0)));
}

TEST(WriteFailure, SmallFrameToDeviceThatRefusesEveryWrite) {
    FreshFolder folder;
    folder.put("a.bmp", directImage(solidPicture({1, 2, 3})));
    const ProgramRun run =
        runProgram({"no0xfe", "/dev/full", "a.bmp", "0", "missing.bmp", "0"}, folder.path());
    EXPECT_TRUE(endedWith(run, 1));
    EXPECT_TRUE(sameText(run.output, text::converting("a.bmp") + text::line(text::kCannotWriteOutput)));
}

// Mounts a tmpfs of `bytes` (rounded up to whole pages) at `where` and unmounts it again.
class TinyFileSystem {
  public:
    TinyFileSystem(const std::string& where, std::size_t bytes) : where_(where) {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
        if (::mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
            mounted_ = true;
        } else {
            problem_ = std::strerror(errno);
        }
    }
    ~TinyFileSystem() {
        if (mounted_) {
            ::umount2(where_.c_str(), MNT_DETACH);
        }
    }
    TinyFileSystem(const TinyFileSystem&) = delete;
    TinyFileSystem& operator=(const TinyFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& problem() const { return problem_; }

  private:
    std::string where_;
    bool mounted_ = false;
    std::string problem_;
};

std::size_t wholePages(std::size_t bytes) {
    return (bytes + kPage - 1) / kPage * kPage;
}

// What the file held before and the frames that fit stay; the frame that does not fit is cut back.
TEST(WriteFailure, FileSystemRunsOutOfRoom) {
    FreshFolder folder;
    const Frames frames = busyFrames(folder, 4);
    const Bytes earlier(1001, 0x5A);
    const std::size_t twoFrames = earlier.size() + frames.encoded[0].size() + frames.encoded[1].size();
    // Room for what is there and two frames and part of the third; room for what is there alone.
    for (const auto& [room, framesThatFit] : {std::pair{wholePages(twoFrames) + kPage, std::size_t{2}},
                                              std::pair{wholePages(earlier.size()), std::size_t{0}}}) {
        SCOPED_TRACE(std::to_string(room) + " bytes of room");
        ASSERT_LT(room, twoFrames + frames.encoded[2].size()) << "the third frame must not fit";
        folder.makeFolder("disk");
        const TinyFileSystem disk(folder.pathOf("disk"), room);
        if (!disk.mounted()) {
            GTEST_SKIP() << "cannot mount a tmpfs here (" << disk.problem()
                         << "); this needs root with the right to mount. The file size limit test covers "
                            "the same.";
        }
        folder.put("disk/out.anim", earlier);
        const ProgramRun run = runProgram(deltaArguments(frames, "disk/out.anim"), folder.path());
        EXPECT_TRUE(endedWith(run, 1));
        EXPECT_TRUE(sameText(run.output, messagesUpToWriteFailure(frames, framesThatFit)));
        EXPECT_TRUE(sameBytes(folder.read("disk/out.anim").value_or(Bytes{}),
                              withFrames(earlier, frames, framesThatFit)));
    }
}

// The same as a full disk, arranged with a file size limit: it needs no privileges. The limit falls inside
// the third frame, or exactly at the end of the first.
TEST(WriteFailure, FileSizeLimit) {
    FreshFolder folder;
    const Frames frames = busyFrames(folder, 4);
    const std::size_t twoFrames = frames.encoded[0].size() + frames.encoded[1].size();
    for (const auto& [limit, framesThatFit] :
         {std::pair{twoFrames + frames.encoded[2].size() / 2, std::size_t{2}},
          std::pair{frames.encoded[0].size(), std::size_t{1}}}) {
        SCOPED_TRACE(std::to_string(limit) + " bytes at the most");
        std::filesystem::remove(folder.pathOf("out.anim"));
        PosixRunOptions options;
        options.fileSizeLimit = limit;
        const ProgramRun run =
            posixRunner().runWith(deltaArguments(frames, "out.anim"), folder.path(), options);
        EXPECT_TRUE(endedWith(run, 1));
        EXPECT_TRUE(sameText(run.output, messagesUpToWriteFailure(frames, framesThatFit)));
        EXPECT_TRUE(
            sameBytes(folder.read("out.anim").value_or(Bytes{}), withFrames({}, frames, framesThatFit)));
    }
}

// The output file's writes made to fail at every frame of a run by animconv_with_output_faults: a failed
// write, a short one, and a failed write whose cut-back fails too (nothing to cut back then). What the file
// held before the run stays, and so do the frames written before the failing one.
TEST(WriteFailure, EveryFrameOfARunFailingEachWay) {
    FreshFolder folder;
    const Frames frames = busyFrames(folder, 3);
    const Bytes earlier(1001, 0x5A);
    const PosixRunner withFaults(ANIMCONV_WITH_OUTPUT_FAULTS);
    for (const auto& [kind, cutBack] : {std::pair{"fail", ""}, {"short", ""}, {"fail", ":no-cutback"}}) {
        for (std::size_t failing = 0; failing <= frames.names.size(); ++failing) {
            const std::string setting = std::string{kind} + ":" + std::to_string(failing + 1) + cutBack;
            SCOPED_TRACE(setting);
            folder.put("out.anim", earlier);
            PosixRunOptions options;
            options.environment = {"ANIMCONV_OUTPUT_FAULT=" + setting};
            const ProgramRun run =
                withFaults.runWith(deltaArguments(frames, "out.anim"), folder.path(), options);
            const bool allWritten = failing == frames.names.size();
            EXPECT_TRUE(endedWith(run, allWritten ? 0 : 1));
            if (!allWritten) {
                EXPECT_TRUE(sameText(run.output, messagesUpToWriteFailure(frames, failing)));
            }
            EXPECT_TRUE(
                sameBytes(folder.read("out.anim").value_or(Bytes{}), withFrames(earlier, frames, failing)));
        }
    }
}

// With the cut-back failing too, a short write leaves its bytes: nothing else could remove them.
TEST(WriteFailure, ShortWriteWithFailedCutBackLeavesItsBytes) {
    FreshFolder folder;
    const Frames frames = busyFrames(folder, 3);
    PosixRunOptions options;
    options.environment = {"ANIMCONV_OUTPUT_FAULT=short:2:no-cutback"};
    const ProgramRun run = PosixRunner(ANIMCONV_WITH_OUTPUT_FAULTS)
                               .runWith(deltaArguments(frames, "out.anim"), folder.path(), options);
    EXPECT_TRUE(endedWith(run, 1));
    EXPECT_TRUE(sameText(run.output, messagesUpToWriteFailure(frames, 1)));
    const Bytes& second = frames.encoded[1];
    const Bytes half(second.begin(), second.begin() + static_cast<std::ptrdiff_t>(second.size() / 2));
    EXPECT_TRUE(sameBytes(folder.read("out.anim").value_or(Bytes{}), concat({frames.encoded[0], half})));
}

TEST(CreatedOutput, ModeIsReadWriteForAllLessTheUmask) {
    FreshFolder folder;
    folder.put("a.bmp", directImage(solidPicture({3, 4, 5})));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const ProgramRun run = runProgram({"no0xfe", "out.anim", "a.bmp", "1"}, folder.path());
    EXPECT_TRUE(endedWith(run, 0));
    struct stat status {};
    ASSERT_EQ(::stat(folder.pathOf("out.anim").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0666 & ~mask);
}

// Another process holds `name` with a lock of `kind` while the tool runs.
class HeldLock {
  public:
    HeldLock(const std::string& path, int kind) : descriptor_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        locked_ = descriptor_ >= 0 && ::flock(descriptor_, kind | LOCK_NB) == 0;
    }
    ~HeldLock() { release(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

    bool locked() const { return locked_; }
    void release() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
            descriptor_ = -1;
        }
    }

  private:
    int descriptor_;
    bool locked_ = false;
};

class LockedFile : public ::testing::TestWithParam<int> {};

TEST_P(LockedFile, OutputHeldByAnotherOpenerIsNotOpened) {
    FreshFolder folder;
    const Picture picture = randomPicture(9, 20, 50);
    folder.put("a.bmp", directImage(picture));
    const Bytes earlier{16, 0x7E, 0x2C, 0xFF, 0};
    folder.put("out.anim", earlier);
    HeldLock lock(folder.pathOf("out.anim"), GetParam());
    ASSERT_TRUE(lock.locked());

    const std::vector<std::string> arguments{"use0xfe", "out.anim", "a.bmp", "5"};
    const ProgramRun refusedRun = runProgram(arguments, folder.path());
    EXPECT_TRUE(endedWith(refusedRun, 1));
    EXPECT_TRUE(sameText(refusedRun.output, text::line(text::kCannotOpenOutput)));
    EXPECT_TRUE(sameBytes(*folder.read("out.anim"), earlier));

    // Once the other opener lets go, the same command appends.
    lock.release();
    const ProgramRun run = runProgram(arguments, folder.path());
    EXPECT_TRUE(endedWith(run, 0));
    EXPECT_TRUE(sameText(run.output, text::convertedFrame("a.bmp")));
    EXPECT_TRUE(
        sameBytes(*folder.read("out.anim"), concat({earlier, referenceRun(Mode::delta, {{picture, 5}})})));
}

TEST_P(LockedFile, InputHeldByAnotherOpenerIsNotOpened) {
    FreshFolder folder;
    const Picture picture = randomPicture(10, 20, 50);
    folder.put("a.bmp", directImage(picture));
    folder.put("b.bmp", directImage(solidPicture({0, 0, 0})));
    HeldLock lock(folder.pathOf("b.bmp"), GetParam());
    ASSERT_TRUE(lock.locked());

    const ProgramRun run = runProgram({"no0xfe", "out.anim", "a.bmp", "5", "b.bmp", "6"}, folder.path());
    EXPECT_TRUE(endedWith(run, 1));
    EXPECT_TRUE(sameText(run.output, text::convertedFrame("a.bmp") + text::cannotOpenInput("b.bmp")));
    EXPECT_TRUE(sameBytes(*folder.read("out.anim"), referenceRun(Mode::plain, {{picture, 5}})));
}

std::string lockName(const ::testing::TestParamInfo<int>& lockKind) {
    return lockKind.param == LOCK_EX ? "Exclusive" : "Shared";
}

INSTANTIATE_TEST_SUITE_P(Locks, LockedFile, ::testing::Values(LOCK_EX, LOCK_SH), lockName);

}  // namespace
}  // namespace e2e
