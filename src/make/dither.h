// Putting a fitted frame onto the colour cube: every component becomes exactly level x 51, so animconv's
// truncation maps it back unchanged and delta mode compares the dithered colours.
#pragma once

#include "convert/frame_encoder.h"
#include "make/make_options.h"

namespace animmake {

// Rewrites `frame` in place. Dither::none leaves it as it is: the encoder's truncation is the quantizer.
void ditherFrame(animconv::FrameBuffer& frame, Dither dither);

// The ordered dither of one component value at pixel (x, y): a level 0..5.
int orderedLevel(int component, int x, int y);

}  // namespace animmake
