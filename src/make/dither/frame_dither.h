// What a dither is to the rest of animmake: the choice on the command line, and a frame rewritten in place.
#pragma once

#include "convert/frame_encoder.h"

namespace animmake {

enum class Dither { steady, ordered, none, diffusion, search };

// A dither rewrites each frame in place. One that remembers the frames before takes all of them, in stream
// order, on the thread that writes the stream; one that does not takes each frame alone, on any thread.
class FrameDither {
  public:
    virtual ~FrameDither() = default;
    virtual void apply(animconv::FrameBuffer& frame) = 0;
    // A frame went out as it came (a stream input's, on the cube already): one that remembers the frames
    // before dithers the next one as a first frame.
    virtual void passOver() {}
};

}  // namespace animmake
