// The fit plan as a unit: the shown size for each fit, and where a picture of that size lands.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace maketest
