// What a video's pictures are, in the terms both video readers share: the FFmpeg one (video_source.cpp) and
// the Media Foundation one (mf_video_source.cpp) each translate what their library says of a stream into a
// DeclaredPicture; what a stream leaves unmarked, and the fit that follows from the picture, are decided
// here once, so that a video gives the same frames on both systems.
#pragma once

#include <cstdint>
#include <optional>

#include "make/inputs/fit_plan.h"

namespace animmake::inputs {

// The YUV matrices the readers turn into RGB.
enum class ColourMatrix { bt601, bt709, smpte240m, fcc, bt2020 };

// What a stream says of its pictures; unset (or unusable) where it says nothing.
struct DeclaredPicture {
    int width = 0;  // the part shown, in stored pixels
    int height = 0;
    std::optional<ColourMatrix> matrix = std::nullopt;
    std::optional<bool> fullRange = std::nullopt;
    std::int64_t aspectNum = 0;  // a stored pixel's width : height
    std::int64_t aspectDen = 0;
    double clockwiseDegrees = 0;  // the turn for display
};

// A video's pictures as the readers take them.
struct VideoPicture {
    int width = 0;
    int height = 0;
    ColourMatrix matrix = ColourMatrix::bt601;
    bool fullRange = false;
    int aspectNum = 1;
    int aspectDen = 1;
    int quarterTurns = 0;  // clockwise
    bool operator==(const VideoPicture&) const = default;
};

// Unmarked: the matrix encoders use by picture size (BT.709 from 720 lines up, BT.601 below), limited
// range and square pixels. The turn goes to the nearest quarter; an angle more than a degree off one is
// left as decoded, as is mirroring.
VideoPicture pictureOf(const DeclaredPicture& declared);

// The red and blue weights of the matrix's luma; green has the rest.
struct LumaWeights {
    double kr = 0;
    double kb = 0;
};
LumaWeights lumaWeightsOf(ColourMatrix matrix);

// The picture's fit: the size it is shown at (as displayed: square pixels, turned) and the size it is
// scaled to before the turn. Nothing where it is empty, or where it would be shown larger than 16 frames:
// cover enlarging a sliver-shaped picture would need a huge scaled copy.
struct VideoFit {
    ShownSize shown;
    int scaledWidth = 0;
    int scaledHeight = 0;
};
std::optional<VideoFit> videoFitOf(const VideoPicture& picture, Fit fit);

}  // namespace animmake::inputs
