#include "bmp/bmp.h"

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

void decodeRow24(const PixelRow& row) {
    const std::uint8_t* source = row.source;
    std::uint8_t* out = row.out;
    for (std::uint32_t x = 0; x < row.width; ++x) {
        out[0] = source[0];
        out[1] = source[1];
        out[2] = source[2];
        out[3] = 0;
        source += 3;
        out += kOutputPixelBytes;
    }
}

void decodeIndexedRow(const PixelRow& row, const std::uint8_t* palette, std::uint16_t bitsPerPixel) {
    const unsigned perByte = 8U / bitsPerPixel;
    const unsigned mask = (1U << bitsPerPixel) - 1U;
    std::uint8_t* out = row.out;
    for (std::uint32_t x = 0; x < row.width; ++x) {
        // The most significant bits hold the leftmost pixel of each byte.
        const unsigned slot = x % perByte;
        const unsigned shift = 8U - bitsPerPixel * (slot + 1U);
        const unsigned index = (static_cast<unsigned>(row.source[x / perByte]) >> shift) & mask;
        std::memcpy(out, palette + index * kOutputPixelBytes, kOutputPixelBytes);
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
        if (length < kPrefixLength + 19 ||
            !startsWithSignature(buffer + kPrefixLength)) {
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
        if (depth == 24) {
            decodeRow24(row);
        } else {
            decodeIndexedRow(row, palette, depth);
        }
    }
    return 0;
}

}  // namespace animconv
