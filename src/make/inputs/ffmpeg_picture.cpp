#include "make/inputs/ffmpeg_picture.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <optional>

namespace animmake::inputs {
namespace {

std::optional<ColourMatrix> declaredMatrix(AVColorSpace space) {
    switch (space) {
        case AVCOL_SPC_BT709:
            return ColourMatrix::bt709;
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M:
            return ColourMatrix::bt601;
        case AVCOL_SPC_SMPTE240M:
            return ColourMatrix::smpte240m;
        case AVCOL_SPC_FCC:
            return ColourMatrix::fcc;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return ColourMatrix::bt2020;
        default:
            return std::nullopt;
    }
}

// The range the frame is marked with, else the one its pixel format implies (the JPEG formats are full).
std::optional<bool> declaredFullRange(const AVFrame& frame) {
    if (frame.color_range != AVCOL_RANGE_UNSPECIFIED) {
        return frame.color_range == AVCOL_RANGE_JPEG;
    }
    switch (frame.format) {
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUVJ411P:
            return true;
        default:
            return std::nullopt;
    }
}

}  // namespace

VideoPicture videoPictureOf(const AVFrame& frame, AVRational streamAspect,
                            const std::int32_t* displayMatrix) {
    DeclaredPicture declared;
    declared.width = frame.width;
    declared.height = frame.height;
    declared.matrix = declaredMatrix(frame.colorspace);
    declared.fullRange = declaredFullRange(frame);
    const AVRational aspect = frame.sample_aspect_ratio.num > 0 ? frame.sample_aspect_ratio : streamAspect;
    declared.aspectNum = aspect.num;
    declared.aspectDen = aspect.den;
    // The display matrix turns counter-clockwise; NaN where it is no rotation.
    declared.clockwiseDegrees = displayMatrix != nullptr ? -av_display_rotation_get(displayMatrix) : 0.0;
    return pictureOf(declared);
}

int swsColourspaceOf(ColourMatrix matrix) {
    switch (matrix) {
        case ColourMatrix::bt709:
            return SWS_CS_ITU709;
        case ColourMatrix::smpte240m:
            return SWS_CS_SMPTE240M;
        case ColourMatrix::fcc:
            return SWS_CS_FCC;
        case ColourMatrix::bt2020:
            return SWS_CS_BT2020;
        case ColourMatrix::bt601:
            break;
    }
    return SWS_CS_ITU601;
}

}  // namespace animmake::inputs
