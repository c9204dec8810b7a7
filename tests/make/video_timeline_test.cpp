// The video timeline as a unit: presentation times in, waits out, one row per rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "make/inputs/video_timeline.h"

namespace maketest {
namespace {

using animmake::inputs::SettledFrame;
using animmake::inputs::VideoClock;
using animmake::inputs::VideoSettings;
using animmake::inputs::VideoTimeline;

using Stamp = std::optional<std::int64_t>;

struct TimelineCase {
    const char* name;
    VideoSettings settings;
    VideoClock clock;
    std::vector<Stamp> stamps;  // in the clock's time base; each frame's own duration unknown
    std::vector<int> waits;     // of the frames kept, in order
};

VideoClock clockOf(std::int64_t num, std::int64_t den, std::int64_t frameDuration,
                   std::optional<std::int64_t> length) {
    VideoClock clock;
    clock.timeBaseNum = num;
    clock.timeBaseDen = den;
    clock.origin = 0;
    clock.frameDuration = frameDuration;
    clock.length = length;
    return clock;
}

VideoSettings fps(std::int64_t numerator, std::int64_t denominator) {
    VideoSettings settings;
    settings.fpsNumerator = numerator;
    settings.fpsDenominator = denominator;
    return settings;
}

VideoSettings range(std::int64_t startMicroseconds, std::int64_t durationMicroseconds) {
    VideoSettings settings;
    settings.startMicroseconds = startMicroseconds;
    settings.durationMicroseconds = durationMicroseconds;
    return settings;
}

std::vector<Stamp> counting(std::int64_t from, std::int64_t to) {
    std::vector<Stamp> stamps;
    for (std::int64_t stamp = from; stamp <= to; ++stamp) {
        stamps.emplace_back(stamp);
    }
    return stamps;
}

std::vector<int> repeated(int wait, std::size_t count, std::vector<int> then = {}) {
    std::vector<int> waits(count, wait);
    waits.insert(waits.end(), then.begin(), then.end());
    return waits;
}

TEST(VideoTimeline, PresentationTimesBecomeWaits) {
    VideoSettings fixed;
    fixed.keepEveryFrame = true;
    const TimelineCase cases[] = {
        {"30 fps: rounded as they add up", {}, clockOf(1, 30, 1, 6), counting(0, 5), {3, 4, 3, 3, 4, 3}},
        // A 25 fps AVI whose first picture comes at 0.04 s: 28 frames of 4 make its 1.12 s.
        {"the first frame from its own time", {}, clockOf(1, 25, 1, 28), counting(1, 28), repeated(4, 28)},
        {"--fps: the length counted from the first picture",
         fps(1, 2),
         clockOf(1, 25, 1, 28),
         counting(1, 28),
         {112}},
        {"an entry with no picture extends the frame before",
         {},
         clockOf(1, 25, 1, 7),
         {0, 1, 2, 5, 6},
         {4, 4, 12, 4, 4}},
        {"empty entries at the end extend the last frame",
         {},
         clockOf(1, 25, 1, 9),
         {0, 1, 2, 5, 6},
         {4, 4, 12, 4, 12}},
        {"shorter than a unit: left out, its time kept",
         {},
         clockOf(1, 1000, 0, 30),
         {0, 3, 10, 20},
         {1, 1, 1}},
        {"no time stamps: each after the one before", {}, clockOf(1, 1000, 40, {}), {{}, {}, {}}, {4, 4, 4}},
        {"a fixed wait keeps every frame", fixed, clockOf(1, 1000, 0, 30), {0, 3, 10, 20}, {1, 1, 1, 1}},
        // 10.2 s at 25 fps, one frame every 2 s: the last ends where the video does.
        {"--fps: the last frame ends with the video", fps(1, 2), clockOf(1, 25, 1, 255), counting(0, 254),
         repeated(200, 5, {20})},
        {"--fps 10 of 30", fps(10, 1), clockOf(1, 30, 1, 30), counting(0, 29), repeated(10, 10)},
        {"--start within a frame: counted from --start",
         range(50'000, animmake::inputs::kWholeVideo),
         clockOf(1, 1000, 100, 500),
         {0, 100, 200, 300, 400},
         {5, 10, 10, 10, 10}},
        {"--duration ends the last frame taken",
         range(0, 250'000),
         clockOf(1, 1000, 100, 500),
         {0, 100, 200, 300, 400},
         {10, 10, 5}},
        {"--duration past a video of unknown length: the last frame its own length",
         range(0, 1'000'000),
         clockOf(1, 1000, 100, {}),
         {0, 100, 200},
         {10, 10, 10}},
        {"clamped above 255", {}, clockOf(1, 1000, 0, 4200), {0, 4000, 4100}, {255, 10, 10}},
    };
    for (const TimelineCase& c : cases) {
        SCOPED_TRACE(c.name);
        VideoTimeline timeline(c.settings, c.clock);
        std::vector<int> waits;
        const auto keep = [&](const SettledFrame& settled) {
            if (settled.any && settled.wait > 0) {
                waits.push_back(settled.wait);
            }
        };
        bool past = false;
        for (const Stamp& stamp : c.stamps) {
            keep(timeline.arrive(stamp, 0, past));
            if (past) {
                break;
            }
        }
        if (!past) {
            keep(timeline.finish());
        }
        EXPECT_EQ(waits, c.waits);
        EXPECT_EQ(timeline.kept(), c.waits.size());
    }
}

// A frame never on screen (a stream's frame of no wait) settles the one before and leaves none waiting.
TEST(VideoTimeline, APassingFrameSettlesTheOneBefore) {
    VideoTimeline timeline(range(50'000, 250'000), clockOf(1, 1000, 100, 1000));
    bool past = false;
    const auto expectSettled = [](const SettledFrame& settled, bool any, int wait) {
        EXPECT_EQ(settled.any, any);
        EXPECT_EQ(settled.wait, wait);
    };
    expectSettled(timeline.arrive(0, 0, past), false, 0);
    expectSettled(timeline.pass(100, past), true, 5);  // from --start
    EXPECT_FALSE(past);
    expectSettled(timeline.arrive(100, 0, past), false, 0);
    expectSettled(timeline.arrive(200, 0, past), true, 10);
    expectSettled(timeline.pass(300, past), true, 10);  // past the range: the last frame ends with it
    EXPECT_TRUE(past);
    expectSettled(timeline.finish(), false, 0);
    EXPECT_EQ(timeline.kept(), 3u);
}

}  // namespace
}  // namespace maketest

namespace maketest {
namespace {

struct LostCase {
    const char* name;
    std::vector<std::int64_t> stamps;  // in tenths of a second
    std::optional<std::int64_t> length;
    std::int64_t listed;
    std::size_t leftOut;
    std::string text;
    bool gapsAreLost = true;
};

// Decoded frames counted against what the container lists, or the length where the times keep to the
// stated rate of 10 fps; the gaps say where.
TEST(LostFrames, CountedAgainstTheContainerAndPlacedByTheGaps) {
    const auto upTo = [](std::int64_t end, std::vector<std::int64_t> without) {
        std::vector<std::int64_t> stamps;
        for (std::int64_t stamp = 0; stamp < end; ++stamp) {
            if (std::find(without.begin(), without.end(), stamp) == without.end()) {
                stamps.push_back(stamp);
            }
        }
        return stamps;
    };
    std::vector<std::int64_t> screen;  // a frame only where the picture changed
    for (std::int64_t stamp = 0; stamp < 300; stamp += 1 + stamp % 3) {
        screen.push_back(stamp);
    }
    const LostCase cases[] = {
        {"whole", upTo(30, {}), 30, 0, 0, ""},
        {"one lost", upTo(30, {13}), 30, 0, 1, "1 of its 30 frames left out (at 1.300 s)"},
        {"two places", upTo(30, {2, 3, 4, 20}), 30, 0, 4,
         "4 of its 30 frames left out (at 0.200-0.400 s, 2.000 s)"},
        {"listed, no length", upTo(30, {5}), std::nullopt, 30, 1, "1 of its 30 frames left out (at 0.500 s)"},
        {"listed beyond the times", upTo(30, {}), std::nullopt, 249, 219, "219 of its 249 frames left out"},
        {"edit list: the length counts", upTo(30, {}), 30, 32, 0, ""},
        {"length one off by rounding", upTo(30, {}), 31, 0, 0, ""},
        {"variable rate", screen, 300, 0, 0, ""},
        {"a gap the length does not see", upTo(31, {20}), 29, 0, 1,
         "1 of its 31 frames left out (at 2.000 s)"},
        {"dropped by design (AVI)", upTo(30, {13}), 30, 29, 0, "", false},
        {"variable rate, listed", screen, 300, static_cast<std::int64_t>(screen.size()) + 3, 3,
         "3 of its " + std::to_string(screen.size() + 3) + " frames left out"},
    };
    for (const LostCase& c : cases) {
        SCOPED_TRACE(c.name);
        VideoClock clock;
        clock.timeBaseDen = 10;
        clock.frameDuration = 1;
        clock.origin = 0;
        clock.length = c.length;
        animmake::inputs::LostFrames lost(clock);
        for (const std::int64_t stamp : c.stamps) {
            lost.arrive(stamp);
        }
        const animmake::inputs::LostFrames::Verdict verdict = lost.judge(c.listed, c.gapsAreLost);
        EXPECT_EQ(verdict.leftOut, c.leftOut);
        EXPECT_EQ(verdict.text, c.text);
    }
}

}  // namespace
}  // namespace maketest
