// BMP images held whole in memory: header validation and decoding into 4-byte pixels, and writing.
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

// Bytes of a bottom-up BMP with the 40-byte header: 24-bit, or 8-bit with a 256-entry colour table.
// 0 for another depth or a size that does not fit the header's 32-bit fields.
std::size_t bmpEncodedSize(std::uint32_t width, std::uint32_t height, std::uint16_t bitsPerPixel);

// Writes a BMP of bmpEncodedSize bytes into `out`. 24-bit: `pixels` are blue, green, red, x (4 bytes, as the
// decoder writes them), `palette` unused. 8-bit: `pixels` are one colour table index each and `palette`
// holds 256 entries of blue, green, red, 0. Top row first, rows contiguous. Returns the bytes written, 0
// (nothing written) when `capacity` is too small or the depth or size is not supported.
std::size_t bmpEncode(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height,
                      std::uint16_t bitsPerPixel, const std::uint8_t* palette, std::uint8_t* out,
                      std::size_t capacity);

}  // namespace animconv
