// Putting a fitted frame onto the colour cube: every component becomes exactly level x 51, so animconv's
// truncation maps it back unchanged and delta mode compares the dithered colours.
#pragma once

#include <cstdint>
#include <memory>

#include "convert/frame_encoder.h"
#include "make/dither/frame_dither.h"

namespace animmake::dither {

// The ordered dither: a 4x4 threshold matrix in linear light, the same levels for the same source in every
// frame, so unchanged pixels stay unchanged.
class OrderedDither final : public FrameDither {
  public:
    void apply(animconv::FrameBuffer& frame) override;
};

// Serpentine error diffusion of each frame on its own, for stills: it changes pixels whose source did not
// change, which defeats delta mode.
class DiffusionDither final : public FrameDither {
  public:
    void apply(animconv::FrameBuffer& frame) override;
};

// Error diffusion that remembers what it chose. The first frame, and the first after a cut, is diffused
// whole. Where the source stands still, its pixels keep their
// diffused levels (unchanged in delta mode, no crawling); what moves is ordered, so it stays put wherever
// it stands and leaves no trail, and a pixel whose source comes back (a moving thing has passed) takes its
// diffused levels back; what comes to rest is diffused again after a few frames. A pan is ordered as a
// whole, except where it leaves the picture as it was, and so is a frame drawn in flat colours (a screen).
// Frames go through one instance in stream order; the same frames give the same levels.
struct SteadyDitherState;
class SteadyDither final : public RememberingDither<SteadyDitherState> {
  public:
    SteadyDither();
    ~SteadyDither() override;

    void apply(animconv::FrameBuffer& frame) override;
};

// An sRGB component 0..255 in linear light, 0..1.
double linearOf(int component);

// The ordered dither of one component value at pixel (x, y): a level 0..5.
int orderedLevel(int component, int x, int y);

// The ordered dither's levels for row y of a frame, three components a pixel in and out.
void orderedRow(const std::uint8_t* components, int y, std::uint8_t* levels);

}  // namespace animmake::dither
