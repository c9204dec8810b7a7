// The fit plan as a unit: the shown size for each fit, and where a picture of that size lands.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "make/inputs/fit_plan.h"

namespace maketest {
namespace {

using animmake::inputs::Fit;

TEST(FitPlan, ShownSizeAndPlacement) {
    struct Case {
        const char* name;
        double width, height;
        Fit fit;
        int shownWidth, shownHeight;
        int left, top, frameLeft, frameTop;  // the placement of the shown picture
    };
    const Case cases[] = {
        {"contain, wide: bars above and below", 320, 100, Fit::contain, 190, 59, 0, 0, 0, 55},
        {"contain, tall: bars left and right", 100, 320, Fit::contain, 53, 170, 0, 0, 68, 0},
        {"cover, wide: cropped left and right", 320, 100, Fit::cover, 544, 170, 177, 0, 0, 0},
        {"cover, one pixel over: the odd one cut from the end", 191, 171, Fit::cover, 190, 170, 0, 0, 0, 0},
        {"stretch", 50, 30, Fit::stretch, 190, 170, 0, 0, 0, 0},
        {"a sliver is at least one pixel", 10000, 1, Fit::contain, 190, 1, 0, 0, 0, 84},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const animmake::inputs::ShownSize shown = animmake::inputs::shownSize(c.width, c.height, c.fit);
        EXPECT_EQ(shown.width, c.shownWidth);
        EXPECT_EQ(shown.height, c.shownHeight);
        const animmake::inputs::Placement placement =
            animmake::inputs::placementOf(shown.width, shown.height);
        EXPECT_EQ(placement.left, c.left);
        EXPECT_EQ(placement.top, c.top);
        EXPECT_EQ(placement.width, std::min(shown.width, 190));
        EXPECT_EQ(placement.height, std::min(shown.height, 170));
        EXPECT_EQ(placement.frameLeft, c.frameLeft);
        EXPECT_EQ(placement.frameTop, c.frameTop);
    }
}

// Both video readers place their scaled pictures through placeTurned: turned clockwise, then centred on the
// background. A 3x2 picture whose every pixel is its own (x, y) is shown 3x2 or, turned a quarter, 2x3.
TEST(FitPlan, APictureIsTurnedClockwiseThenPlaced) {
    constexpr int kWidth = 3;
    constexpr int kHeight = 2;
    std::vector<std::uint8_t> picture;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            picture.insert(picture.end(), {std::uint8_t(x), std::uint8_t(y), 7, 9});
        }
    }
    struct Case {
        int quarterTurns;
        // The source pixels (x, y) shown along the top row, then down the left column.
        std::vector<std::pair<int, int>> topRow;
        std::vector<std::pair<int, int>> leftColumn;
    };
    const Case cases[] = {
        {0, {{0, 0}, {1, 0}, {2, 0}}, {{0, 0}, {0, 1}}},
        {1, {{0, 1}, {0, 0}}, {{0, 1}, {1, 1}, {2, 1}}},  // the bottom-left corner comes to the top left
        {2, {{2, 1}, {1, 1}, {0, 1}}, {{2, 1}, {2, 0}}},
        {3, {{2, 0}, {2, 1}}, {{2, 0}, {1, 0}, {0, 0}}},
    };
    const animmake::inputs::Rgb8 background{10, 20, 30};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quarterTurns);
        std::vector<std::uint8_t> frame(190 * 170 * 4, 0xAA);
        animmake::inputs::placeTurned(picture.data(), kWidth, kHeight, c.quarterTurns, background,
                                      frame.data());
        const int shownWidth = static_cast<int>(c.topRow.size());
        const int shownHeight = static_cast<int>(c.leftColumn.size());
        const animmake::inputs::Placement placement = animmake::inputs::placementOf(shownWidth, shownHeight);
        const auto at = [&](int x, int y) {
            const std::uint8_t* pixel = &frame[(std::size_t(y) * 190 + std::size_t(x)) * 4];
            return std::vector<int>{pixel[0], pixel[1], pixel[2], pixel[3]};
        };
        for (int i = 0; i < shownWidth; ++i) {
            const auto [x, y] = c.topRow[std::size_t(i)];
            EXPECT_EQ(at(placement.frameLeft + i, placement.frameTop), (std::vector<int>{x, y, 7, 0}));
        }
        for (int i = 0; i < shownHeight; ++i) {
            const auto [x, y] = c.leftColumn[std::size_t(i)];
            EXPECT_EQ(at(placement.frameLeft, placement.frameTop + i), (std::vector<int>{x, y, 7, 0}));
        }
        // Around it, the background in the frame's blue, green, red, 0 order.
        EXPECT_EQ(at(0, 0), (std::vector<int>{30, 20, 10, 0}));
        EXPECT_EQ(at(placement.frameLeft + shownWidth, placement.frameTop),
                  (std::vector<int>{30, 20, 10, 0}));
        EXPECT_EQ(at(189, 169), (std::vector<int>{30, 20, 10, 0}));
    }
}

}  // namespace
}  // namespace maketest
