// The progress line's estimate as a unit: the share of the run done, over all its inputs.
#include <gtest/gtest.h>

#include "make/progress_estimate.h"

namespace maketest {
namespace {

using animmake::WorkEstimate;

constexpr std::uint64_t kMegabyte = 1'000'000;

struct Step {
    bool done;  // finish(input, frame) rather than update(input, frame, frames)
    std::size_t input, frame, frames;
};

struct EstimateCase {
    const char* name;
    std::vector<std::uint64_t> sizes;
    std::vector<Step> steps;
    double share;
};

TEST(WorkEstimate, CountsEveryInput) {
    const EstimateCase cases[] = {
        {"nothing known yet", {kMegabyte, kMegabyte}, {{false, 0, 0, 0}}, 0.0},
        // 100 frames in 1 MB: the 9 MB GIF after it holds some 900.
        {"a video half done before a large GIF", {kMegabyte, 9 * kMegabyte}, {{false, 0, 50, 100}}, 0.05},
        {"the GIF's pages counted once reached",
         {kMegabyte, 9 * kMegabyte},
         {{true, 0, 100, 0}, {false, 1, 10, 40}},
         110.0 / 140.0},
        {"stills of one size",
         {kMegabyte, kMegabyte, kMegabyte, kMegabyte},
         {{true, 0, 1, 0}, {true, 1, 1, 0}},
         0.5},
        {"every input done", {kMegabyte, 2 * kMegabyte}, {{true, 0, 3, 0}, {true, 1, 7, 0}}, 1.0},
    };
    for (const EstimateCase& c : cases) {
        SCOPED_TRACE(c.name);
        WorkEstimate estimate(c.sizes);
        for (const Step& step : c.steps) {
            if (step.done) {
                estimate.finish(step.input, step.frame);
            } else {
                estimate.update(step.input, step.frame, step.frames);
            }
        }
        EXPECT_NEAR(estimate.done(), c.share, 1e-9);
    }
}

}  // namespace
}  // namespace maketest
