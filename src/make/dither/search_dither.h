// The search dither: each frame's levels chosen by direct binary search, so that the frame, blurred as the
// eye blurs it at a distance (a 1 px Gaussian in linear light), comes as close to the blurred source as a
// few passes find, less a cost for every run the stream would need.
#pragma once

#include <memory>

#include "convert/frame_encoder.h"
#include "make/dither/frame_dither.h"

namespace animmake {

// Per frame, in stream order:
// - a component whose source value is exactly a cube level keeps that level: black stays black (bars),
//   white white, and a screen's flat colours stay flat where they are cube colours;
// - a pixel whose source has moved by at most 3 in every component since its levels were chosen keeps
//   them (unchanged in delta mode: no crawling where nothing moves);
// - every other pixel starts from the ordered dither's levels (starting from its last ones kept stale
//   patterns: 1.1x the error on a talking head) and takes whichever one-level step of a component, or its
//   last levels, lowers the blurred squared error plus the cost of the runs it makes or ends; then whichever
//   exchange of a component's levels with a neighbour right of or below it does; a few passes, each only near
//   the last one's changes.
// The same frames give the same levels.
struct SearchDitherState;
class SearchDither final : public RememberingDither<SearchDitherState> {
  public:
    SearchDither();
    ~SearchDither() override;

    void apply(animconv::FrameBuffer& frame) override;
};

}  // namespace animmake
