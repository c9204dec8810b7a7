// The search dither: each frame's levels chosen by direct binary search, so that the frame, blurred as the
// eye blurs it at a distance (a 1 px Gaussian in linear light), comes as close to the blurred source as a
// few passes find, less a cost for every run the stream would need.
#pragma once

#include <memory>

#include "convert/frame_encoder.h"
#include "make/dither/frame_dither.h"

namespace animmake::dither {

// Per frame, in stream order:
// - every component stays on one of the two cube levels that bracket its source value, as the ordered
//   dither's do (a search allowed further put magenta and green specks into greys and whites), and one
//   exactly on a level keeps it: black stays black (bars), white white;
// - a pixel inside an area of one colour (its 3x3 neighbourhood) takes the ordered levels: backgrounds
//   and bars of any colour look as the ordered dither makes them, in as few colours;
// - every other pixel starts from the last frame's levels, moved into the new bracket where it left it
//   (the first frame, and the first after a stream's frames, from the ordered levels), and takes whichever
//   move of a component to the other level of its bracket, or back to its last levels, lowers the blurred
//   squared error plus the cost of the runs it makes or ends; then whichever exchange of a component's
//   levels with a neighbour right of or below it in the same bracket does; a few passes, each only near
//   the last one's changes, and only within the blur's reach of where the source or the starting levels
//   changed. Nothing is held frozen: held levels let the same small error pile up everywhere on a slow
//   pan, while the run cost still keeps a level unless changing it pays.
// The same frames give the same levels.
struct SearchDitherState;
class SearchDither final : public RememberingDither<SearchDitherState> {
  public:
    SearchDither();
    ~SearchDither() override;

    void apply(animconv::FrameBuffer& frame) override;
};

}  // namespace animmake::dither
