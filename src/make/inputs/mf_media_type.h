// What the Media Foundation reader takes from a media type, in the terms both video readers share
// (video_picture.h), and where a decoded buffer holds the picture.
#pragma once

#include <mfobjects.h>

#include "make/inputs/video_picture.h"

namespace animmake::inputs {

// The picture: the frame size (the display aperture's where the type has one), MF_MT_YUV_MATRIX,
// MF_MT_VIDEO_NOMINAL_RANGE, MF_MT_PIXEL_ASPECT_RATIO and MF_MT_VIDEO_ROTATION (clockwise).
VideoPicture videoPictureOf(IMFAttributes& type);

// Where a decoded picture lies in its buffer.
struct BufferLayout {
    int width = 0;  // the buffer's pictures
    int height = 0;
    int left = 0;  // the part shown (the display aperture)
    int top = 0;
    long stride = 0;  // 0 when the type does not say
};
BufferLayout bufferLayoutOf(IMFAttributes& type);

}  // namespace animmake::inputs
