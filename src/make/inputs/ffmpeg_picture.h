// What the FFmpeg reader takes from a decoded frame and its stream, in the terms both video readers share
// (video_picture.h).
#pragma once

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/rational.h>
}

#include <cstdint>

#include "make/inputs/video_picture.h"

namespace animmake::inputs {

// The frame's picture: its size, matrix and range; its sample aspect ratio, or the stream's where it has
// none; the turn of the stream's display matrix (null where it has none).
VideoPicture videoPictureOf(const AVFrame& frame, AVRational streamAspect, const std::int32_t* displayMatrix);

// libswscale's name for the matrix.
int swsColourspaceOf(ColourMatrix matrix);

}  // namespace animmake::inputs
