// Several processes appending to one output file: every frame stays whole, and a run that finds the file
// held by another stops with the open message, keeping the frames it appended before.
#include <gtest/gtest.h>

#include "animconv_runs.h"
#include "convert/messages.h"
#include "stream_reader.h"

namespace {

using runs::Bytes;

constexpr int kFramesPerRun = 3;

constexpr int kMostRuns = 6;

// Every run converts the same three images, each from its own copies: an input file is opened without
// sharing too, so runs reading one input at once would stop at the input instead. Run r gives frame i the
// wait byte 10 r + i, so each frame tells its run.
struct Inputs {
    runs::ScratchFolder folder;
    Bytes referenceRecords[kFramesPerRun];  // each frame's run records, without the terminator

    std::string path(int run, int frame) const {
        return (folder.path / ("in" + std::to_string(run) + "-" + std::to_string(frame) + ".bmp")).string();
    }

    Inputs() {
        for (int r = 0; r < kMostRuns; ++r) {
            for (int i = 0; i < kFramesPerRun; ++i) {
                runs::writeAll(path(r, i), runs::noisyFrame(static_cast<unsigned>(i)));
            }
        }
        const auto reference = folder.path / "reference";
        EXPECT_EQ(runs::run(ANIMCONV_PROGRAM, arguments("no0xfe", reference.string(), 0)).status, 0);
        const Bytes stream = runs::readAll(reference);
        const auto parsed = streamcheck::readStream(stream);
        EXPECT_EQ(parsed.frames.size(), std::size_t{kFramesPerRun});
        for (std::size_t i = 0; i < parsed.frames.size(); ++i) {
            const auto begin = stream.begin() + static_cast<std::ptrdiff_t>(parsed.frames[i].offset);
            referenceRecords[i].assign(begin,
                                       begin + static_cast<std::ptrdiff_t>(parsed.frames[i].length - 2));
        }
    }

    std::vector<std::string> arguments(const char* mode, const std::string& output, int run) const {
        std::vector<std::string> result{mode, output};
        for (int i = 0; i < kFramesPerRun; ++i) {
            result.insert(result.end(), {path(run, i), std::to_string(10 * run + i)});
        }
        return result;
    }

    // How many frames a run's console says it appended; -1 when the console fits no allowed outcome.
    int framesAppended(const runs::Outcome& outcome, int run) const {
        std::string console;
        for (int i = 0; i <= kFramesPerRun; ++i) {
            if (outcome.status == 0 && i == kFramesPerRun && outcome.console == console) {
                return i;
            }
            if (outcome.status == 1 && i < kFramesPerRun &&
                outcome.console == console + runs::lineMessage(animconv::messages::kCannotOpenOutput)) {
                return i;
            }
            if (i < kFramesPerRun) {
                console += runs::converting(path(run, i)) + runs::done();
            }
        }
        return -1;
    }
};

TEST(ConcurrentRuns, EachRunAppendsWholeFramesOrStopsAtTheLockedFile) {
    const Inputs inputs;
    // Which runs meet a held file differs from round to round; every round must keep the same properties.
    for (const int processes : {2, 2, 4, 4, kMostRuns, kMostRuns, kMostRuns}) {
        SCOPED_TRACE(std::to_string(processes) + " processes");
        const auto output = inputs.folder.path / "anim";
        std::filesystem::remove(output);
        std::vector<pid_t> started;
        for (int r = 0; r < processes; ++r) {
            const auto console = (inputs.folder.path / ("console" + std::to_string(r))).string();
            started.push_back(
                runs::start(ANIMCONV_PROGRAM, inputs.arguments("no0xfe", output.string(), r), console));
        }
        std::vector<int> appended;
        for (int r = 0; r < processes; ++r) {
            const auto console = (inputs.folder.path / ("console" + std::to_string(r))).string();
            const runs::Outcome outcome = runs::finish(started[static_cast<std::size_t>(r)], console);
            appended.push_back(inputs.framesAppended(outcome, r));
            EXPECT_GE(appended.back(), 0)
                << "run " << r << " status " << outcome.status << ": " << outcome.console;
        }

        const Bytes stream = runs::readAll(output);
        const auto parsed = streamcheck::readStream(stream);
        ASSERT_TRUE(parsed.valid()) << parsed.problem;
        std::vector<int> seen(static_cast<std::size_t>(processes), 0);
        for (const auto& frame : parsed.frames) {
            const int run = frame.waitByte / 10;
            const int index = frame.waitByte % 10;
            ASSERT_LT(run, processes);
            // A run's frames come in its own order, each the same records as its input converted alone.
            EXPECT_EQ(index, seen[static_cast<std::size_t>(run)]++);
            const auto begin = stream.begin() + static_cast<std::ptrdiff_t>(frame.offset);
            EXPECT_EQ(Bytes(begin, begin + static_cast<std::ptrdiff_t>(frame.length - 2)),
                      inputs.referenceRecords[index]);
        }
        EXPECT_EQ(seen, appended);
    }
}

TEST(ConcurrentRuns, SequentialRunsAppendExactlyTheSumOfTheirFrames) {
    const Inputs inputs;
    // The repeated image makes the second frame all unchanged markers in delta mode.
    const std::vector<std::string> pairs{inputs.path(0, 0), "7", inputs.path(0, 0), "8",
                                         inputs.path(0, 1), "9"};
    auto arguments = [&](const std::filesystem::path& output) {
        std::vector<std::string> all{"use0xfe", output.string()};
        all.insert(all.end(), pairs.begin(), pairs.end());
        return all;
    };
    const auto alone = inputs.folder.path / "alone";
    ASSERT_EQ(runs::run(ANIMCONV_PROGRAM, arguments(alone)).status, 0);
    const Bytes oneRun = runs::readAll(alone);
    const auto parsedRun = streamcheck::readStream(oneRun);
    ASSERT_EQ(parsedRun.frames.size(), 3U);
    ASSERT_FALSE(parsedRun.frames[0].hasUnchangedMarker);
    ASSERT_EQ(parsedRun.frames[1].length, 5U);

    constexpr int kRuns = 12;
    const auto output = inputs.folder.path / "anim";
    Bytes expected;
    for (int r = 0; r < kRuns; ++r) {
        ASSERT_EQ(runs::run(ANIMCONV_PROGRAM, arguments(output)).status, 0);
        // Each run starts delta mode afresh, whatever the file already holds.
        expected.insert(expected.end(), oneRun.begin(), oneRun.end());
    }
    const Bytes stream = runs::readAll(output);
    const auto parsed = streamcheck::readStream(stream);
    ASSERT_TRUE(parsed.valid()) << parsed.problem;
    EXPECT_EQ(parsed.frames.size(), std::size_t{kRuns} * 3);
    EXPECT_EQ(stream, expected);
}

}  // namespace
