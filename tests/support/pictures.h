// 190x170 pictures for the tests, and the BMP images that hold them.
#pragma once

#include <cstdint>
#include <vector>

#include "bmp_writer.h"
#include "files.h"
#include "reference_stream.h"

namespace testsupport {

Picture solidPicture(const Bgr& colour);
// Runs of random length (1..longestRun) of colours drawn from `colourCount` colours; repeatable per seed.
Picture randomPicture(std::uint32_t seed, std::uint32_t colourCount, std::uint32_t longestRun);
// `base` with the pixels from scan position `first`, `count` of them, set to `colour`.
Picture paintedSpan(Picture base, std::size_t first, std::size_t count, const Bgr& colour);
Picture paintedPixel(Picture base, std::uint32_t x, std::uint32_t y, const Bgr& colour);

// A 190x170 24-bit image of `picture`.
Bytes directImage(const Picture& picture, const bmpwriter::Layout& layout = {});

// An indexed 190x170 image: the indices, the table, and the colours it decodes to.
struct IndexedImage {
    std::vector<std::uint8_t> indices;
    std::vector<Bgr> palette;
    Picture colours() const;
    Bytes bytes(std::uint16_t bitsPerPixel, bmpwriter::HeaderKind header, bool prefix) const;
};
// A table of 2, 16 or 256 distinct colours for the depth and indices drawn at random in runs.
IndexedImage randomIndexedImage(std::uint32_t seed, std::uint16_t bitsPerPixel);

}  // namespace testsupport
