// The video timeline's exact rounding against libavutil's, which video timing used before the timeline was
// shared with streams: the same waits for the same times, negative times (frames before --start) included.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/mathematics.h>
}

#include <cstdint>

#include "make/inputs/video_timeline.h"

namespace animmake::inputs {
namespace {

TEST(VideoTimeline, RoundsAsLibavutilDoes) {
    struct Scaling {
        std::int64_t value;
        std::int64_t multiplier;
        std::int64_t divisor;
    };
    const Scaling cases[] = {
        {0, 3, 7},
        {1, 1, 2},
        {-1, 1, 2},
        {3, 1, 2},
        {-3, 1, 2},
        {5, 10, 4},
        {-5, 10, 4},
        {7, 3, 21},
        {-7, 3, 21},
        {8, 3, 21},
        {-8, 3, 21},
        {1001, 1000, 30000},
        {-45000, 1000, 10'000'000},
        {123456789, 90000, 1001},
        // The products pass 64 bits, the quotients do not.
        {1LL << 40, 1LL << 30, (1LL << 28) + 1},
        {-(1LL << 40), 1LL << 30, (1LL << 27) - 1},
    };
    for (const Scaling& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " x " + std::to_string(c.multiplier) + " / " +
                     std::to_string(c.divisor));
        EXPECT_EQ(rescaleUp(c.value, c.multiplier, c.divisor),
                  av_rescale_rnd(c.value, c.multiplier, c.divisor, AV_ROUND_UP));
        EXPECT_EQ(rescaleNear(c.value, c.multiplier, c.divisor),
                  av_rescale_rnd(c.value, c.multiplier, c.divisor, AV_ROUND_NEAR_INF));
    }
}

}  // namespace
}  // namespace animmake::inputs
