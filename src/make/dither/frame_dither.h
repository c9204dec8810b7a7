// What a dither is to the rest of animmake: the choice on the command line, and a frame rewritten in place.
#pragma once

#include <memory>

#include "convert/frame_encoder.h"

namespace animmake::dither {

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

// A dither that remembers the frames before, in one `State` (complete where the dither is defined). The
// state starts afresh at the first frame and after a frame that passed the dither by.
template <typename State>
class RememberingDither : public FrameDither {
  public:
    void passOver() final { state_.reset(); }

  protected:
    State& state() {
        if (state_ == nullptr) {
            state_ = std::make_unique<State>();
        }
        return *state_;
    }

  private:
    std::unique_ptr<State> state_;
};

}  // namespace animmake::dither
