// BMP images held whole in memory: header validation and decoding into 4-byte pixels.
// Nothing here prints or touches files: buffer in, pixels out, status back.
#pragma once

#include <cstddef>
#include <cstdint>

namespace animconv {

// Where an image's parts lie in the caller's buffer, as offsets from the buffer's first byte.
struct BmpGeometry {
    std::uint32_t width = 0;
    std::int32_t height = 0;  // negative for a top-down image
    std::uint16_t bitsPerPixel = 0;
    std::uint8_t paletteEntrySize = 0;  // 3 with the 12-byte header, 4 with the 40-byte one
    std::uint64_t palettePosition = 0;
    std::uint64_t pixelArrayStart = 0;
    std::int64_t pixelArrayEnd = 0;  // pixel array start + stride x height, saturated far off the buffer
    std::uint64_t rowBytes = 0;      // bytes of pixel data in one stored row
    std::uint64_t stride = 0;        // rowBytes rounded up to a multiple of 4
};

struct BmpInfo {
    std::uint32_t width = 0;
    std::int32_t height = 0;
};

// Validates the header and works out the geometry. An image that does not start with "BM" is looked for
// once more behind a 128-byte prefix. Returns false for an invalid header; `geometry` is then unspecified.
bool parseBmpHeader(const std::uint8_t* buffer, std::size_t length, BmpGeometry& geometry);

// Returns 1 with width and height stored in `info` for a valid header, 0 otherwise (`info` untouched).
int bmpGetInfo(const std::uint8_t* buffer, std::size_t length, BmpInfo& info);

// Decodes 1-, 4-, 8- and 24-bit images into blue, green, red, 0 pixels, top row first, skipping `rowGap`
// output bytes after each row. `out` must hold height x (width x 4 + rowGap) bytes. Returns 0 on success,
// 1 for an invalid header, an unsupported depth, a width or height below 1, or a colour table that runs
// past the buffer; nothing is written on failure.
int bmpDecode(const std::uint8_t* buffer, std::size_t length, std::uint8_t* out, std::size_t rowGap);

}  // namespace animconv
