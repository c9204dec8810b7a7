// Several runs appending to one output file at the same time: the lock keeps their frames whole. A run
// that finds the file held stops with "cannot open the output file"; every frame in the file is a whole
// frame of one run, and each run's frames appear in its own order.
#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "expected_text.h"
#include "posix_runner.h"

namespace e2e {
namespace {

constexpr std::size_t kMostRuns = 6;
constexpr std::size_t kFramesPerRun = 4;

struct RunPlan {
    std::vector<std::string> arguments;
    std::vector<std::string> names;
    std::vector<Bytes> frames;  // as the run appends them
};

// Each run converts its own copies of its inputs: an input file is opened without sharing too, so runs
// reading one input at once would stop at the input instead.
std::vector<RunPlan> planRuns(const FreshFolder& folder) {
    std::vector<RunPlan> plans(kMostRuns);
    for (std::size_t r = 0; r < kMostRuns; ++r) {
        ReferenceStream stream(Mode::delta);
        plans[r].arguments = {"use0xfe", "out.anim"};
        for (std::size_t f = 0; f < kFramesPerRun; ++f) {
            const std::string name = "r" + std::to_string(r) + "f" + std::to_string(f) + ".bmp";
            const Picture picture = randomPicture(static_cast<std::uint32_t>(1000 + 10 * r + f), 30, 20);
            folder.put(name, directImage(picture));
            const auto waitByte = static_cast<std::uint8_t>(16 * r + f);
            plans[r].arguments.push_back(name);
            plans[r].arguments.push_back(std::to_string(waitByte));
            plans[r].names.push_back(name);
            plans[r].frames.push_back(stream.nextFrame(picture, waitByte));
        }
    }
    return plans;
}

TEST(ConcurrentRuns, FramesNeverInterleave) {
    FreshFolder folder;
    const std::vector<RunPlan> plans = planRuns(folder);
    const PosixRunner runner(programPath());
    // Which runs meet a held file differs from round to round; every round must keep the same properties.
    for (const std::size_t runs : {2U, 2U, 4U, 4U, 6U, 6U}) {
        SCOPED_TRACE(std::to_string(runs) + " runs");
        std::filesystem::remove(folder.pathOf("out.anim"));
        std::vector<ProgramRun> results(runs);
        std::vector<std::thread> threads;
        for (std::size_t r = 0; r < runs; ++r) {
            threads.emplace_back([&, r] { results[r] = runner.run(plans[r].arguments, folder.path()); });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }

        // Take the file apart frame by frame: each must be the next frame of some run.
        const Bytes file = folder.read("out.anim").value_or(Bytes{});
        std::vector<std::size_t> appended(runs, 0);
        std::size_t at = 0;
        while (at < file.size()) {
            bool matched = false;
            for (std::size_t r = 0; r < runs && !matched; ++r) {
                if (appended[r] == kFramesPerRun) {
                    continue;
                }
                const Bytes& next = plans[r].frames[appended[r]];
                if (file.size() - at >= next.size() &&
                    std::equal(next.begin(), next.end(), file.begin() + static_cast<std::ptrdiff_t>(at))) {
                    at += next.size();
                    ++appended[r];
                    matched = true;
                }
            }
            ASSERT_TRUE(matched) << "bytes at offset " << at << " are no run's next whole frame";
        }

        // Each run printed its frames, and stopped at the first one it could not append.
        for (std::size_t r = 0; r < runs; ++r) {
            SCOPED_TRACE("run " + std::to_string(r));
            std::string expected;
            for (std::size_t f = 0; f < appended[r]; ++f) {
                expected += text::convertedFrame(plans[r].names[f]);
            }
            const bool complete = appended[r] == kFramesPerRun;
            if (!complete) {
                expected += text::line(text::kCannotOpenOutput);
            }
            EXPECT_TRUE(endedWith(results[r], complete ? 0 : 1));
            EXPECT_TRUE(sameText(results[r].output, expected));
        }
    }
}

}  // namespace
}  // namespace e2e
