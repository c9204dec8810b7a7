// The dither the command line chose, and where it runs.
#pragma once

#include <memory>

#include "make/dither/frame_dither.h"

namespace animmake::dither {

// Whether `dither` remembers the frames before (the steady and search ones).
bool ditherRemembers(Dither dither);

// The dither for `dither`; none for Dither::none, whose quantizer is the encoder's truncation.
std::unique_ptr<FrameDither> makeDither(Dither dither);

}  // namespace animmake::dither
