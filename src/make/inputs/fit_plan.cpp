#include "make/inputs/fit_plan.h"

#include <algorithm>
#include <cmath>

#include "stream/stream_format.h"

namespace animmake {

void fitScales(double width, double height, Fit fit, double& scaleX, double& scaleY) {
    scaleX = animconv::kFrameWidth / width;
    scaleY = animconv::kFrameHeight / height;
    if (fit == Fit::contain) {
        scaleX = scaleY = std::min(scaleX, scaleY);
    } else if (fit == Fit::cover) {
        scaleX = scaleY = std::max(scaleX, scaleY);
    }
}

ShownSize shownSize(double width, double height, Fit fit) {
    double scaleX = 0;
    double scaleY = 0;
    fitScales(width, height, fit, scaleX, scaleY);
    return {std::max(1, static_cast<int>(std::lround(width * scaleX))),
            std::max(1, static_cast<int>(std::lround(height * scaleY)))};
}

Placement placementOf(int shownWidth, int shownHeight) {
    Placement placement;
    placement.width = std::min(shownWidth, animconv::kFrameWidth);
    placement.height = std::min(shownHeight, animconv::kFrameHeight);
    placement.left = (shownWidth - placement.width) / 2;
    placement.top = (shownHeight - placement.height) / 2;
    placement.frameLeft = (animconv::kFrameWidth - placement.width) / 2;
    placement.frameTop = (animconv::kFrameHeight - placement.height) / 2;
    return placement;
}

}  // namespace animmake
