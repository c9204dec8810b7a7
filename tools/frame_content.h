// Synthetic 190x170 frames of three kinds, for the benchmarks and the encoder equivalence test.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "bmp_writer.h"

namespace framecontent {

constexpr std::uint32_t kWidth = 190;
constexpr std::uint32_t kHeight = 170;

enum class Kind {
    flat,   // one colour that changes every few frames: one long run
    photo,  // smooth gradients crossed by hard edges, moving from frame to frame
    noise,  // every pixel's cube index differs from its left neighbour's: every pixel is a run of one
};

constexpr Kind kAllKinds[] = {Kind::flat, Kind::photo, Kind::noise};

std::string_view kindName(Kind kind);

// The colours of frame `frame` of a sequence, top row first. The same arguments give the same frame.
std::vector<bmpwriter::Bgr> frameColours(Kind kind, int frame);

// Frame `frame` as a 24-bit BMP file with the 40-byte header.
std::vector<std::uint8_t> frameFile24(Kind kind, int frame);

// Frame `frame` at 1, 4 or 8 bits per pixel: the colours reduced to a table of 2, 16 or 256 entries.
std::vector<std::uint8_t> frameFileIndexed(Kind kind, int frame, std::uint16_t bitsPerPixel);

}  // namespace framecontent
