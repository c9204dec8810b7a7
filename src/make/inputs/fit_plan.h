// The fit of a picture into the 190x170 frame, planned once for every source: the scale each axis needs,
// the size the picture is shown at, and where it lands, centred: cropped where larger (cover), bars of the
// background where smaller (contain). The image path does the work with libvips, the video path with
// libswscale; both follow this plan.
#pragma once

#include <cstdint>

#include "make/inputs/source_settings.h"

namespace animmake::inputs {

// The scale each axis needs for the fit of a width x height picture.
void fitScales(double width, double height, Fit fit, double& scaleX, double& scaleY);

// The size a width x height picture (as displayed: square pixels, turned upright) is shown at, at least
// 1x1.
struct ShownSize {
    int width = 1;
    int height = 1;
};
ShownSize shownSize(double width, double height, Fit fit);

// Where a picture of the shown size lands in the frame: the part of it inside the frame (its left, top,
// width, height) drawn at (frameLeft, frameTop); the rest of the frame is background.
struct Placement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int frameLeft = 0;
    int frameTop = 0;
};
Placement placementOf(int shownWidth, int shownHeight);

// A picture scaled to `width` x `height` (blue, green, red, 0 bytes, rows packed) placed in the 190x170 frame
// as placementOf() plans, turned `quarterTurns` times clockwise first; the rest of the frame is
// `background`. The video readers both place their pictures so.
void placeTurned(const std::uint8_t* scaled, int width, int height, int quarterTurns, Rgb8 background,
                 std::uint8_t* framePixels);

}  // namespace animmake::inputs
