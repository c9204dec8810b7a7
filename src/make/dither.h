// Putting a fitted frame onto the colour cube: every component becomes exactly level x 51, so animconv's
// truncation maps it back unchanged and delta mode compares the dithered colours.
#pragma once

#include <memory>

#include "convert/frame_encoder.h"
#include "make/make_options.h"

namespace animmake {

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

// Whether `dither` remembers the frames before (the steady one).
bool ditherRemembers(Dither dither);

// The dither for `dither`; none for Dither::none, whose quantizer is the encoder's truncation.
std::unique_ptr<FrameDither> makeDither(Dither dither);

// Error diffusion that remembers what it chose. The first frame, and the first after a cut, is diffused
// whole. Where the source stands still, its pixels keep their
// diffused levels (unchanged in delta mode, no crawling); what moves is ordered, so it stays put wherever
// it stands and leaves no trail, and a pixel whose source comes back (a moving thing has passed) takes its
// diffused levels back; what comes to rest is diffused again after a few frames. A pan is ordered as a
// whole, except where it leaves the picture as it was, and so is a frame drawn in flat colours (a screen).
// Frames go through one instance in stream order; the same frames give the same levels.
class SteadyDither final : public FrameDither {
  public:
    SteadyDither();
    ~SteadyDither() override;
    SteadyDither(const SteadyDither&) = delete;
    SteadyDither& operator=(const SteadyDither&) = delete;

    void apply(animconv::FrameBuffer& frame) override;
    void passOver() override;

  private:
    struct State;
    std::unique_ptr<State> state_;
    bool restart_ = false;
};

// The ordered dither of one component value at pixel (x, y): a level 0..5.
int orderedLevel(int component, int x, int y);

}  // namespace animmake
