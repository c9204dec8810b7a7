// Generated 190x170 frames (blue, green, red, 0 per pixel, as animmake's frames are) for the dither tests,
// one kind of scene each, and a digest of what a dither made of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

constexpr int kSceneWidth = 190;
constexpr int kSceneHeight = 170;
constexpr std::size_t kScenePixels = std::size_t{kSceneWidth} * kSceneHeight;

using SceneFrame = std::vector<std::uint8_t>;  // kScenePixels x 4 bytes

// A photo-like picture: a colour gradient with a fine texture. `variant` gives another picture altogether
// (0 or 1); in variant 1 every component lies 120 above variant 0's.
SceneFrame texturedScene(int variant);
// A smooth picture of low waves drifted `offset` pixels to the left (a fraction is interpolated).
SceneFrame driftedScene(double offset);
// `base` with a 24x24 textured square, bright against it, whose left edge is at column `left` of row 60.
SceneFrame withSquare(SceneFrame base, int left);
// A screen: a photo in the left 60 columns, and right of it a flat background with flat boxes in a grid, the
// boxes at grid column `moved` one step over.
SceneFrame drawnScene(int moved);
// `base` with black rows: `top` at the top and `bottom` at the bottom; or, when `columns`, black columns
// at the left and right instead. `grey` gives the bars another grey (--background '#202020' is 0x20).
SceneFrame withBars(SceneFrame base, int top, int bottom, bool columns, std::uint8_t grey = 0);
// `base` with the rectangle from (left, top) to before (right, bottom) in one colour (blue, green, red).
SceneFrame withFlat(SceneFrame base, int left, int top, int right, int bottom,
                    const std::uint8_t (&colour)[3]);
// The pixels whose components are not all on one of the two cube levels that bracket the source's.
std::size_t offBracket(const SceneFrame& source, const SceneFrame& made);

// Squared difference between `made` and `source` in linear light after the viewer's blur (a Gaussian of
// sigma 1 px, 7 taps, edges clamped), over all pixels and components.
double blurredError(const SceneFrame& source, const SceneFrame& made);

// 64-bit FNV-1a over the cube levels (component / 51) of blue, green and red of every pixel.
std::uint64_t levelDigest(const std::vector<SceneFrame>& frames);

}  // namespace testsupport
