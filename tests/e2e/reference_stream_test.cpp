// The reference encoder against streams worked out by hand, so that it cannot share a mistake with the
// tool unnoticed.
#include <gtest/gtest.h>

#include "program_runner.h"
#include "reference_stream.h"

namespace e2e {
namespace {

TEST(ReferenceStream, CubeIndexCorners) {
    EXPECT_EQ(cubeIndexOf({0, 0, 0}), 16);
    EXPECT_EQ(cubeIndexOf({255, 255, 255}), 231);
    EXPECT_EQ(cubeIndexOf({254, 254, 254}), 188);
    EXPECT_EQ(cubeIndexOf({255, 0, 0}), 196);
    EXPECT_EQ(cubeIndexOf({0, 255, 0}), 46);
    EXPECT_EQ(cubeIndexOf({0, 0, 255}), 21);
    EXPECT_EQ(cubeIndexOf({50, 101, 152}), 16 + 0 + 6 * 1 + 2);
    EXPECT_EQ(cubeIndexOf({51, 102, 153}), 16 + 36 + 6 * 2 + 3);
}

TEST(ReferenceStream, HandWorkedFrames) {
    const Picture white = solidPicture({255, 255, 255});
    ReferenceStream delta(Mode::delta);
    EXPECT_EQ(delta.nextFrame(white, 4), (Bytes{231, 0x7E, 0x2C, 0xFF, 4}));
    EXPECT_EQ(delta.nextFrame(paintedPixel(white, 5, 0, {0, 0, 255}), 9),
              (Bytes{0xFE, 0x85, 21, 0x81, 0xFE, 0x7E, 0x26, 0xFF, 9}));
    // Compared with the frame just before: pixel (5, 0) is now unchanged, the rest changed back.
    EXPECT_EQ(delta.nextFrame(paintedPixel(paintedPixel(white, 5, 0, {0, 0, 255}), 0, 1, {1, 1, 1}), 0),
              (Bytes{0xFE, 0x00, 0xBE, 16, 0x81, 0xFE, 0x7D, 0x6D, 0xFF, 0}));

    ReferenceStream plain(Mode::plain);
    const Picture runs = paintedSpan(paintedSpan(white, 0, 127, {0, 0, 255}), 127, 128, {0, 255, 0});
    EXPECT_EQ(plain.nextFrame(runs, 1), (Bytes{21, 0xFF, 46, 0x00, 0x80, 231, 0x7D, 0x2D, 0xFF, 1}));
    EXPECT_EQ(plain.nextFrame(runs, 2), (Bytes{21, 0xFF, 46, 0x00, 0x80, 231, 0x7D, 0x2D, 0xFF, 2}));
}

}  // namespace
}  // namespace e2e
