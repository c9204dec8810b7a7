// A 190x170 frame as the eye sees it at a distance, for the quality benchmarks: taken to linear light,
// blurred with a Gaussian of sigma 1 px (7 taps, edges clamped) and converted to CIELAB (D65).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
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

// What a viewer sees up close, for two 190x170 frames of red, green, blue (3 bytes a pixel), the source and
// what the stream made of it (cube levels x 51):
// - the pixels with a component on neither of the two cube levels that bracket its source value (one
//   level when the value is exactly a level): the colour specks an ordered dither never makes;
// - over the source's flat areas (pixels whose 5x5 neighbourhood is one colour), the stream colours used
//   for each source colour, on average over the source colours.
std::size_t offBracket(const std::uint8_t* source, const std::uint8_t* made);
double flatColours(const std::uint8_t* source, const std::uint8_t* made);

// A file's bytes; empty when it cannot be read.
std::vector<std::uint8_t> fileBytes(const std::string& path);

// A 190x170 24-bit bottom-up BMP as red, green, blue, top row first; empty when it is not one.
std::vector<std::uint8_t> sourceFrame(const std::string& path);

}  // namespace benchview
