#include "bmp/bmp.h"

#include <bit>
#include <cstring>

namespace animconv {
namespace {

constexpr std::size_t kPrefixLength = 128;
constexpr std::size_t kFileHeaderLength = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::size_t kOutputPixelBytes = 4;

// Far beyond any buffer, yet small enough that adding a 33-bit offset to it cannot wrap an int64.
constexpr std::uint64_t kFarOffBuffer = std::uint64_t{1} << 62;

std::uint16_t readLe16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

void writeLe16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void writeLe32(std::uint8_t* at, std::uint32_t value) {
    writeLe16(at, value & 0xFFFF);
    writeLe16(at + 2, value >> 16);
}

constexpr std::size_t kTableEntries = 256;
constexpr std::size_t kTableEntryBytes = 4;

struct EncodedLayout {
    std::uint64_t stride = 0;
    std::uint64_t pixelStart = 0;
    std::uint64_t total = 0;
};

// False for a depth other than 8 and 24 or a file past the header's 32-bit size field.
bool encodedLayout(std::uint32_t width, std::uint32_t height, std::uint16_t bitsPerPixel,
                   EncodedLayout& layout) {
    if ((bitsPerPixel != 8 && bitsPerPixel != 24) || width == 0 || height == 0 || height > 0x7FFFFFFF) {
        return false;
    }
    const std::uint64_t rowBytes = std::uint64_t{width} * (bitsPerPixel / 8U);
    layout.stride = (rowBytes + 3) / 4 * 4;
    layout.pixelStart =
        kFileHeaderLength + kInfoHeaderSize + (bitsPerPixel == 8 ? kTableEntries * kTableEntryBytes : 0);
    layout.total = layout.pixelStart + layout.stride * height;
    return layout.total <= 0xFFFFFFFF;
}

std::uint32_t readLe32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

bool startsWithSignature(const std::uint8_t* at) {
    return at[0] == 'B' && at[1] == 'M';
}

// stride x height as a signed byte offset, its magnitude saturated at kFarOffBuffer.
std::int64_t signedSpan(std::uint64_t stride, std::int32_t height) {
    const std::uint64_t rows = height < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(height))
                                          : static_cast<std::uint64_t>(height);
    const std::uint64_t magnitude =
        (stride != 0 && rows > kFarOffBuffer / stride) ? kFarOffBuffer : stride * rows;
    const auto span = static_cast<std::int64_t>(magnitude);
    return height < 0 ? -span : span;
}

// Pixels of one stored row, expanded from a depth the caller's loop knows.
struct PixelRow {
    const std::uint8_t* source;
    std::uint8_t* out;
    std::uint32_t width;
};

// An output pixel is blue, green, red, 0; as a word loaded from memory the 0 is the top byte on a
// little-endian machine and the bottom byte on a big-endian one.
constexpr std::uint32_t kColourBytesOfWord =
    std::endian::native == std::endian::little ? 0x00FFFFFFU : 0xFFFFFF00U;

void storeWord(std::uint8_t* out, std::uint32_t word) {
    std::memcpy(out, &word, sizeof word);
}

// Two pixels from 6 source bytes, read as 8: blue, green, red, 0 twice, as one 8-byte word (little-endian).
std::uint64_t pixelPairOf(const std::uint8_t* source) {
    std::uint64_t eight;
    std::memcpy(&eight, source, sizeof eight);
    return (eight & 0xFFFFFFU) | ((eight << 8) & 0x00FFFFFF00000000U);
}

// Pixel pairs where 8 source bytes can be read within the row, four pairs per step (which the compiler
// turns into vector instructions). Then each pixel but the row's last is one 4-byte load with the fourth
// byte cleared; the last pixel is copied byte by byte, since its fourth byte may lie past the buffer's end.
void decodeRow24(const PixelRow& row) {
    const std::uint8_t* source = row.source;
    std::uint8_t* out = row.out;
    std::uint32_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 9 <= row.width; x += 8) {
            const std::uint64_t pairs[4] = {pixelPairOf(source), pixelPairOf(source + 6),
                                            pixelPairOf(source + 12), pixelPairOf(source + 18)};
            std::memcpy(out, pairs, sizeof pairs);
            source += 24;
            out += 8 * kOutputPixelBytes;
        }
        for (; x + 3 <= row.width; x += 2) {
            const std::uint64_t pair = pixelPairOf(source);
            std::memcpy(out, &pair, sizeof pair);
            source += 6;
            out += 2 * kOutputPixelBytes;
        }
    }
    for (; x + 1 < row.width; ++x) {
        std::uint32_t word;
        std::memcpy(&word, source, sizeof word);
        storeWord(out, word & kColourBytesOfWord);
        source += 3;
        out += kOutputPixelBytes;
    }
    out[0] = source[0];
    out[1] = source[1];
    out[2] = source[2];
    out[3] = 0;
}

// `palette` holds the table as output pixels, so each index selects a whole 4-byte pixel.
void decodeRow8(const PixelRow& row, const std::uint8_t* palette) {
    for (std::uint32_t x = 0; x < row.width; ++x) {
        std::memcpy(row.out + std::size_t{x} * kOutputPixelBytes, palette + row.source[x] * kOutputPixelBytes,
                    kOutputPixelBytes);
    }
}

// The high nibble holds the left pixel of each byte; an odd width leaves the last low nibble unused.
void decodeRow4(const PixelRow& row, const std::uint8_t* palette) {
    std::uint8_t* out = row.out;
    const std::uint32_t pairs = row.width / 2;
    for (std::uint32_t i = 0; i < pairs; ++i) {
        const unsigned byte = row.source[i];
        std::memcpy(out, palette + (byte >> 4) * kOutputPixelBytes, kOutputPixelBytes);
        std::memcpy(out + kOutputPixelBytes, palette + (byte & 0x0FU) * kOutputPixelBytes, kOutputPixelBytes);
        out += 2 * kOutputPixelBytes;
    }
    if (row.width % 2 != 0) {
        std::memcpy(out, palette + (row.source[pairs] >> 4) * kOutputPixelBytes, kOutputPixelBytes);
    }
}

// The most significant bit holds the leftmost pixel of each byte; bits past the width are unused.
void decodeRow1(const PixelRow& row, const std::uint8_t* palette) {
    std::uint8_t* out = row.out;
    const std::uint32_t wholeBytes = row.width / 8;
    for (std::uint32_t i = 0; i < wholeBytes; ++i) {
        const unsigned byte = row.source[i];
        for (unsigned shift = 8; shift-- > 0;) {
            std::memcpy(out, palette + ((byte >> shift) & 1U) * kOutputPixelBytes, kOutputPixelBytes);
            out += kOutputPixelBytes;
        }
    }
    const unsigned last = row.width % 8 != 0 ? row.source[wholeBytes] : 0U;
    for (unsigned used = 0; used < row.width % 8; ++used) {
        std::memcpy(out, palette + ((last >> (7U - used)) & 1U) * kOutputPixelBytes, kOutputPixelBytes);
        out += kOutputPixelBytes;
    }
}

}  // namespace

bool parseBmpHeader(const std::uint8_t* buffer, std::size_t length, BmpGeometry& geometry) {
    if (length <= 18) {
        return false;
    }
    std::size_t imageStart = 0;
    if (!startsWithSignature(buffer)) {
        if (length < kPrefixLength + 19 || !startsWithSignature(buffer + kPrefixLength)) {
            return false;
        }
        imageStart = kPrefixLength;
    }
    const std::uint8_t* image = buffer + imageStart;
    const std::size_t remaining = length - imageStart;

    const std::uint32_t headerSize = readLe32(image + 14);
    if (headerSize == kCoreHeaderSize) {
        if (remaining <= 26) {
            return false;
        }
        geometry.width = readLe16(image + 18);
        geometry.height = readLe16(image + 20);
        geometry.bitsPerPixel = readLe16(image + 24);
        geometry.paletteEntrySize = 3;
    } else {
        if (remaining <= 54) {
            return false;
        }
        if (headerSize != kInfoHeaderSize || readLe32(image + 30) != 0) {
            return false;
        }
        geometry.width = readLe32(image + 18);
        geometry.height = static_cast<std::int32_t>(readLe32(image + 22));
        geometry.bitsPerPixel = readLe16(image + 28);
        geometry.paletteEntrySize = 4;
    }

    // width < 2^32 and depth < 2^16, so the bit count fits 64 bits with room to spare.
    geometry.rowBytes = (std::uint64_t{geometry.width} * geometry.bitsPerPixel + 7) / 8;
    geometry.stride = (geometry.rowBytes + 3) & ~std::uint64_t{3};
    geometry.palettePosition = imageStart + kFileHeaderLength + headerSize;
    geometry.pixelArrayStart = imageStart + std::uint64_t{readLe32(image + 10)};
    geometry.pixelArrayEnd =
        static_cast<std::int64_t>(geometry.pixelArrayStart) + signedSpan(geometry.stride, geometry.height);

    // The padding of the last stored row may be missing; a top-down image's extent lies before its start.
    const auto lastRowPadding = static_cast<std::int64_t>(geometry.stride - geometry.rowBytes);
    const std::int64_t extent = geometry.pixelArrayEnd - lastRowPadding;
    return extent <= static_cast<std::int64_t>(length);
}

int bmpGetInfo(const std::uint8_t* buffer, std::size_t length, BmpInfo& info) {
    BmpGeometry geometry;
    if (!parseBmpHeader(buffer, length, geometry)) {
        return 0;
    }
    info.width = geometry.width;
    info.height = geometry.height;
    return 1;
}

int bmpDecode(const std::uint8_t* buffer, std::size_t length, std::uint8_t* out, std::size_t rowGap) {
    BmpGeometry geometry;
    if (!parseBmpHeader(buffer, length, geometry)) {
        return 1;
    }
    const std::uint16_t depth = geometry.bitsPerPixel;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24) {
        return 1;
    }
    if (geometry.width < 1 || geometry.height < 1) {
        return 1;
    }

    // The whole table is loaded before the first row, as blue, green, red, 0 pixels.
    std::uint8_t palette[256 * kOutputPixelBytes] = {};
    if (depth != 24) {
        const std::uint64_t entries = std::uint64_t{1} << depth;
        const std::uint64_t entrySize = geometry.paletteEntrySize;
        if (geometry.palettePosition > length || entries * entrySize > length - geometry.palettePosition) {
            return 1;
        }
        const std::uint8_t* entry = buffer + geometry.palettePosition;
        for (std::uint64_t i = 0; i < entries; ++i, entry += entrySize) {
            std::memcpy(palette + i * kOutputPixelBytes, entry, 3);
        }
    }

    // With width and height at least 1 the extent check put every stored row, from pixelArrayStart to
    // pixelArrayStart + stride x (height - 1) + rowBytes, inside the buffer: the loops need no bounds.
    const auto height = static_cast<std::uint64_t>(geometry.height);
    const std::size_t outRowBytes = std::size_t{geometry.width} * kOutputPixelBytes + rowGap;
    for (std::uint64_t y = 0; y < height; ++y) {
        const PixelRow row{buffer + geometry.pixelArrayStart + geometry.stride * (height - 1 - y),
                           out + y * outRowBytes, geometry.width};
        switch (depth) {
            case 24:
                decodeRow24(row);
                break;
            case 8:
                decodeRow8(row, palette);
                break;
            case 4:
                decodeRow4(row, palette);
                break;
            default:
                decodeRow1(row, palette);
                break;
        }
    }
    return 0;
}

std::size_t bmpEncodedSize(std::uint32_t width, std::uint32_t height, std::uint16_t bitsPerPixel) {
    EncodedLayout layout;
    return encodedLayout(width, height, bitsPerPixel, layout) ? static_cast<std::size_t>(layout.total) : 0;
}

std::size_t bmpEncode(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height,
                      std::uint16_t bitsPerPixel, const std::uint8_t* palette, std::uint8_t* out,
                      std::size_t capacity) {
    EncodedLayout layout;
    if (!encodedLayout(width, height, bitsPerPixel, layout) || layout.total > capacity) {
        return 0;
    }
    const bool indexed = bitsPerPixel == 8;
    const auto total = static_cast<std::size_t>(layout.total);
    const auto stride = static_cast<std::size_t>(layout.stride);
    std::memset(out, 0, total);
    out[0] = 'B';
    out[1] = 'M';
    writeLe32(out + 2, static_cast<std::uint32_t>(total));
    writeLe32(out + 10, static_cast<std::uint32_t>(layout.pixelStart));
    writeLe32(out + 14, kInfoHeaderSize);
    writeLe32(out + 18, width);
    writeLe32(out + 22, height);  // positive: bottom-up
    writeLe16(out + 26, 1);
    writeLe16(out + 28, bitsPerPixel);
    writeLe32(out + 34, static_cast<std::uint32_t>(stride * height));
    if (indexed) {
        writeLe32(out + 46, kTableEntries);
        std::memcpy(out + kFileHeaderLength + kInfoHeaderSize, palette, kTableEntries * kTableEntryBytes);
    }
    const std::size_t inputRow = std::size_t{width} * (indexed ? 1 : kOutputPixelBytes);
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = out + layout.pixelStart + (height - 1 - y) * stride;
        const std::uint8_t* source = pixels + y * inputRow;
        if (indexed) {
            std::memcpy(row, source, width);
            continue;
        }
        for (std::size_t x = 0; x < width; ++x) {
            std::memcpy(row + x * 3, source + x * kOutputPixelBytes, 3);
        }
    }
    return total;
}

}  // namespace animconv
