// Pictures as a video stream may declare them, and what both video readers must make of each: the same
// picture (what is unmarked taken the same way) and the same fit. Each reader's tests say a row in its own
// library's terms: FFmpeg's frame and display matrix, Media Foundation's media type.
#pragma once

#include <gtest/gtest.h>

#include "make/inputs/video_picture.h"

namespace testsupport {

struct VideoPictureCase {
    const char* name;
    animmake::inputs::DeclaredPicture declared;  // what is not named is not declared
    animmake::inputs::VideoPicture picture;      // size, matrix, full range, aspect, quarter turns
    animmake::inputs::ShownSize shown;           // with --fit contain
    animmake::inputs::ShownSize scaled;          // before the turn
};

namespace videopictures {

using enum animmake::inputs::ColourMatrix;

inline constexpr VideoPictureCase kCases[] = {
    {"nothing declared, SD: BT.601, limited range, square pixels, upright",
     {.width = 720, .height = 576},
     {.width = 720, .height = 576, .matrix = bt601},
     {190, 152},
     {190, 152}},
    {"nothing declared, 720 lines: BT.709",
     {.width = 1280, .height = 720},
     {.width = 1280, .height = 720, .matrix = bt709},
     {190, 107},
     {190, 107}},
    {"BT.709 on SD",
     {.width = 720, .height = 576, .matrix = bt709},
     {.width = 720, .height = 576, .matrix = bt709},
     {190, 152},
     {190, 152}},
    {"BT.601 on HD",
     {.width = 1920, .height = 1080, .matrix = bt601},
     {.width = 1920, .height = 1080, .matrix = bt601},
     {190, 107},
     {190, 107}},
    {"SMPTE 240M",
     {.width = 1920, .height = 1080, .matrix = smpte240m},
     {.width = 1920, .height = 1080, .matrix = smpte240m},
     {190, 107},
     {190, 107}},
    {"BT.2020",
     {.width = 3840, .height = 2160, .matrix = bt2020},
     {.width = 3840, .height = 2160, .matrix = bt2020},
     {190, 107},
     {190, 107}},
    {"full range",
     {.width = 720, .height = 576, .fullRange = true},
     {.width = 720, .height = 576, .matrix = bt601, .fullRange = true},
     {190, 152},
     {190, 152}},
    {"limited range",
     {.width = 1280, .height = 720, .fullRange = false},
     {.width = 1280, .height = 720, .matrix = bt709},
     {190, 107},
     {190, 107}},
    {"4:3 NTSC, 10:11 pixels",
     {.width = 720, .height = 480, .aspectNum = 10, .aspectDen = 11},
     {.width = 720, .height = 480, .matrix = bt601, .aspectNum = 10, .aspectDen = 11},
     {190, 139},
     {190, 139}},
    {"16:9 NTSC, 40:33 pixels",
     {.width = 704, .height = 480, .aspectNum = 40, .aspectDen = 33},
     {.width = 704, .height = 480, .matrix = bt601, .aspectNum = 40, .aspectDen = 33},
     {190, 107},
     {190, 107}},
    {"a quarter turn",
     {.width = 1280, .height = 720, .clockwiseDegrees = 90},
     {.width = 1280, .height = 720, .matrix = bt709, .quarterTurns = 1},
     {96, 170},
     {170, 96}},
    {"a half turn",
     {.width = 1280, .height = 720, .clockwiseDegrees = 180},
     {.width = 1280, .height = 720, .matrix = bt709, .quarterTurns = 2},
     {190, 107},
     {190, 107}},
    {"three quarters",
     {.width = 1280, .height = 720, .clockwiseDegrees = 270},
     {.width = 1280, .height = 720, .matrix = bt709, .quarterTurns = 3},
     {96, 170},
     {170, 96}},
    {"a quarter turn of 10:11 pixels",
     {.width = 720, .height = 480, .aspectNum = 10, .aspectDen = 11, .clockwiseDegrees = 90},
     {.width = 720, .height = 480, .matrix = bt601, .aspectNum = 10, .aspectDen = 11, .quarterTurns = 1},
     {125, 170},
     {170, 125}},
};

}  // namespace videopictures

// What a reader made of a row's declared picture, against the row: the picture and its fit.
inline void expectTakenAsBothReadersTakeIt(const animmake::inputs::VideoPicture& picture,
                                           const VideoPictureCase& c) {
    EXPECT_EQ(picture, c.picture);
    const auto fit = animmake::inputs::videoFitOf(picture, animmake::inputs::Fit::contain);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->shown.width, c.shown.width);
    EXPECT_EQ(fit->shown.height, c.shown.height);
    EXPECT_EQ(fit->scaledWidth, c.scaled.width);
    EXPECT_EQ(fit->scaledHeight, c.scaled.height);
}

}  // namespace testsupport
