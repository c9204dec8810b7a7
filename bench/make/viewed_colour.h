// A 190x170 frame as the eye sees it at a distance, for the quality benchmarks: taken to linear light,
// blurred with a Gaussian of sigma 1 px (7 taps, edges clamped) and converted to CIELAB (D65).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace benchview {

using Lab = std::array<double, 3>;
using LabFrame = std::vector<Lab>;

// `rgb` holds red, green, blue of each pixel, top row first, `stride` bytes from one pixel to the next.
LabFrame viewedFrame(const std::uint8_t* rgb, std::size_t stride);

// A frame of cube indices (16..231, one per pixel) as red, green, blue bytes.
std::vector<std::uint8_t> rgbOfIndices(const std::uint8_t* indices);

// Delta E 1976.
double deltaE(const Lab& a, const Lab& b);

}  // namespace benchview
