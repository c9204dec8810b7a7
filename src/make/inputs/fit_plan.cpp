#include "make/inputs/fit_plan.h"

#include <algorithm>
#include <cmath>

#include "convert/frame_encoder.h"
#include "stream/stream_format.h"

namespace animmake::inputs {

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

void placeTurned(const std::uint8_t* scaled, int width, int height, int quarterTurns, Rgb8 background,
                 std::uint8_t* framePixels) {
    using animconv::kFrameHeight, animconv::kFrameWidth, animconv::kPixelBytes;
    const bool sideways = quarterTurns % 2 == 1;
    const Placement placement = placementOf(sideways ? height : width, sideways ? width : height);
    for (int y = 0; y < kFrameHeight; ++y) {
        std::uint8_t* row = framePixels + std::size_t(y) * kFrameWidth * kPixelBytes;
        const int shownY = y - placement.frameTop + placement.top;
        const bool rowInside = y >= placement.frameTop && y < placement.frameTop + placement.height;
        for (int x = 0; x < kFrameWidth; ++x) {
            std::uint8_t* pixel = row + std::size_t(x) * kPixelBytes;
            const int shownX = x - placement.frameLeft + placement.left;
            if (!rowInside || x < placement.frameLeft || x >= placement.frameLeft + placement.width) {
                pixel[0] = background.blue;
                pixel[1] = background.green;
                pixel[2] = background.red;
                pixel[3] = 0;
                continue;
            }
            int column = shownX;
            int line = shownY;
            switch (quarterTurns) {
                case 1:
                    column = shownY;
                    line = height - 1 - shownX;
                    break;
                case 2:
                    column = width - 1 - shownX;
                    line = height - 1 - shownY;
                    break;
                case 3:
                    column = width - 1 - shownY;
                    line = shownX;
                    break;
                default:
                    break;
            }
            const std::uint8_t* source =
                scaled + (std::size_t(line) * std::size_t(width) + std::size_t(column)) * kPixelBytes;
            pixel[0] = source[0];
            pixel[1] = source[1];
            pixel[2] = source[2];
            pixel[3] = 0;
        }
    }
}

}  // namespace animmake::inputs
