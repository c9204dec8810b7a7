#include "make/inputs/video_picture.h"

#include <climits>
#include <cmath>

#include "stream/stream_format.h"

namespace animmake::inputs {

namespace {

constexpr std::int64_t kLargestShown = std::int64_t{16} * animconv::kFrameWidth * animconv::kFrameHeight;

bool usableRatio(std::int64_t num, std::int64_t den) {
    return num > 0 && den > 0 && num <= INT_MAX && den <= INT_MAX;
}

int quarterTurnsOf(double clockwiseDegrees) {
    if (std::isnan(clockwiseDegrees)) {
        return 0;
    }
    const long quarters = std::lround(clockwiseDegrees / 90.0);
    if (std::fabs(clockwiseDegrees - 90.0 * static_cast<double>(quarters)) > 1.0) {
        return 0;
    }
    return static_cast<int>(((quarters % 4) + 4) % 4);
}

}  // namespace

VideoPicture pictureOf(const DeclaredPicture& declared) {
    VideoPicture picture;
    picture.width = declared.width;
    picture.height = declared.height;
    picture.matrix =
        declared.matrix.value_or(declared.height >= 720 ? ColourMatrix::bt709 : ColourMatrix::bt601);
    picture.fullRange = declared.fullRange.value_or(false);
    if (usableRatio(declared.aspectNum, declared.aspectDen)) {
        picture.aspectNum = static_cast<int>(declared.aspectNum);
        picture.aspectDen = static_cast<int>(declared.aspectDen);
    }
    picture.quarterTurns = quarterTurnsOf(declared.clockwiseDegrees);
    return picture;
}

LumaWeights lumaWeightsOf(ColourMatrix matrix) {
    switch (matrix) {
        case ColourMatrix::bt709:
            return {0.2126, 0.0722};
        case ColourMatrix::smpte240m:
            return {0.212, 0.087};
        case ColourMatrix::fcc:
            return {0.30, 0.11};
        case ColourMatrix::bt2020:
            return {0.2627, 0.0593};
        case ColourMatrix::bt601:
            break;
    }
    return {0.299, 0.114};
}

std::optional<VideoFit> videoFitOf(const VideoPicture& picture, Fit fit) {
    if (picture.width <= 0 || picture.height <= 0) {
        return std::nullopt;
    }
    const bool sideways = picture.quarterTurns % 2 == 1;
    const double displayWidth = picture.width * (picture.aspectNum / static_cast<double>(picture.aspectDen));
    const double displayHeight = picture.height;
    VideoFit planned;
    planned.shown =
        shownSize(sideways ? displayHeight : displayWidth, sideways ? displayWidth : displayHeight, fit);
    if (std::int64_t{planned.shown.width} * planned.shown.height > kLargestShown) {
        return std::nullopt;
    }
    planned.scaledWidth = sideways ? planned.shown.height : planned.shown.width;
    planned.scaledHeight = sideways ? planned.shown.width : planned.shown.height;
    return planned;
}

}  // namespace animmake::inputs
