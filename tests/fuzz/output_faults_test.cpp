// Failures of the output file at every frame of a multi-frame run: the frames written before stay whole,
// the write message is printed, the status is 1.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "animconv_runs.h"
#include "convert/messages.h"
#include "stream_reader.h"

namespace {

using runs::Bytes;

constexpr int kFrames = 3;

struct ThreeFrameRun {
    runs::ScratchFolder folder;
    std::vector<std::string> inputs;
    std::vector<std::string> arguments;

    ThreeFrameRun(const char* mode, const std::filesystem::path& output) {
        arguments = {mode, output.string()};
        for (int i = 0; i < kFrames; ++i) {
            inputs.push_back((folder.path / ("frame" + std::to_string(i) + ".bmp")).string());
            runs::writeAll(inputs.back(), runs::noisyFrame(static_cast<unsigned>(i)));
            arguments.push_back(inputs.back());
            arguments.push_back(std::to_string(10 + i));
        }
    }

    // The console of a run whose frame `failing` (0-based) is announced and then stops with `message`.
    std::string consoleUpTo(int failing, std::string_view message) const {
        std::string console;
        for (int i = 0; i < failing; ++i) {
            console += runs::converting(inputs[static_cast<std::size_t>(i)]) + runs::done();
        }
        console += runs::converting(inputs[static_cast<std::size_t>(failing)]);
        return console + runs::lineMessage(message);
    }
};

Bytes firstFrames(const Bytes& stream, std::size_t count) {
    const streamcheck::Result parsed = streamcheck::readStream(stream);
    EXPECT_TRUE(parsed.valid()) << parsed.problem;
    EXPECT_GE(parsed.frames.size(), count);
    if (count == 0) {
        return {};
    }
    const streamcheck::Frame& last = parsed.frames[count - 1];
    return Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(last.offset + last.length));
}

TEST(OutputFaults, EveryFrameOfARunFailingEachWay) {
    runs::ScratchFolder scratch;
    const auto output = scratch.path / "anim";
    const ThreeFrameRun run("use0xfe", output);
    ASSERT_EQ(runs::run(ANIMCONV_PROGRAM, run.arguments).status, 0);
    const Bytes reference = runs::readAll(output);
    // An earlier run's frame already in the file must survive every fault.
    const Bytes earlier = firstFrames(reference, 1);

    // A failed write, a short one, and a failed write whose cut-back fails too (nothing to cut back then).
    for (const auto& [kind, cutBack] : {std::pair{"fail", ""}, {"short", ""}, {"fail", ":no-cutback"}}) {
        for (int failing = 0; failing <= kFrames; ++failing) {
            const std::string setting = std::string{kind} + ":" + std::to_string(failing + 1) + cutBack;
            SCOPED_TRACE(setting);
            runs::writeAll(output, earlier);
            const runs::Outcome outcome =
                runs::run(ANIMCONV_WITH_OUTPUT_FAULTS, run.arguments, {"ANIMCONV_OUTPUT_FAULT=" + setting});

            Bytes expected = earlier;
            const Bytes written = firstFrames(reference, static_cast<std::size_t>(failing));
            expected.insert(expected.end(), written.begin(), written.end());
            if (failing == kFrames) {
                EXPECT_EQ(outcome.status, 0);
                EXPECT_EQ(runs::readAll(output), expected);
                continue;
            }
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.console, run.consoleUpTo(failing, animconv::messages::kCannotWriteOutput));
            EXPECT_EQ(runs::readAll(output), expected);
        }
    }
}

// With the cut-back failing too, a short write leaves its bytes: nothing else could remove them.
TEST(OutputFaults, ShortWriteWithFailedCutBackLeavesItsBytes) {
    runs::ScratchFolder scratch;
    const auto output = scratch.path / "anim";
    const ThreeFrameRun run("no0xfe", output);
    ASSERT_EQ(runs::run(ANIMCONV_PROGRAM, run.arguments).status, 0);
    const Bytes reference = runs::readAll(output);
    std::filesystem::remove(output);

    const runs::Outcome outcome =
        runs::run(ANIMCONV_WITH_OUTPUT_FAULTS, run.arguments, {"ANIMCONV_OUTPUT_FAULT=short:2:no-cutback"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.console, run.consoleUpTo(1, animconv::messages::kCannotWriteOutput));
    const Bytes first = firstFrames(reference, 1);
    const std::size_t halfFrame = firstFrames(reference, 2).size() - first.size();
    Bytes expected = first;
    expected.insert(expected.end(), reference.begin() + static_cast<std::ptrdiff_t>(first.size()),
                    reference.begin() + static_cast<std::ptrdiff_t>(first.size() + halfFrame / 2));
    EXPECT_EQ(runs::readAll(output), expected);
}

// A real file system that fills up during the second frame: 25 pages hold one 64,602-byte frame, not two.
TEST(OutputFaults, FullFileSystemKeepsTheWholeFramesBefore) {
    runs::ScratchFolder scratch;
    const auto mountPoint = scratch.path / "small";
    std::filesystem::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=100k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root or CAP_SYS_ADMIN): "
                     << std::strerror(errno);
    }
    const auto output = mountPoint / "anim";
    const ThreeFrameRun run("no0xfe", output);
    const runs::Outcome outcome = runs::run(ANIMCONV_PROGRAM, run.arguments);
    const Bytes written = runs::readAll(output);
    ::umount(mountPoint.c_str());

    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.console, run.consoleUpTo(1, animconv::messages::kCannotWriteOutput));
    const streamcheck::Result parsed = streamcheck::readStream(written);
    EXPECT_TRUE(parsed.valid()) << parsed.problem;
    EXPECT_EQ(parsed.frames.size(), 1U);
    EXPECT_EQ(written.size(), 64'602U);
}

// A file size limit reached at the end of a frame, or inside the next one, is a failed write like any other:
// the message and status 1, not a process killed by the limit's signal.
TEST(OutputFaults, FileSizeLimitKeepsTheWholeFramesBefore) {
    runs::ScratchFolder scratch;
    const auto output = scratch.path / "anim";
    const ThreeFrameRun run("no0xfe", output);
    for (const std::uint64_t pastTheFirstFrame : {0U, 1'000U}) {
        SCOPED_TRACE(pastTheFirstFrame);
        std::filesystem::remove(output);
        const runs::Outcome outcome =
            runs::run(ANIMCONV_PROGRAM, run.arguments, {}, 64'602 + pastTheFirstFrame);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.console, run.consoleUpTo(1, animconv::messages::kCannotWriteOutput));
        const Bytes written = runs::readAll(output);
        EXPECT_EQ(written.size(), 64'602U);
        EXPECT_TRUE(streamcheck::readStream(written).valid());
    }
}

}  // namespace
