#include "bmp_writer.h"

#include <fstream>
#include <stdexcept>

namespace bmpwriter {
namespace {

constexpr std::size_t kPrefixLength = 128;
constexpr std::size_t kFileHeaderLength = 14;

std::size_t headerSize(HeaderKind kind) {
    return kind == HeaderKind::core ? 12 : 40;
}

std::size_t paletteEntrySize(HeaderKind kind) {
    return kind == HeaderKind::core ? 3 : 4;
}

// Writes headers and table; returns the offset of the pixel array in `bytes`.
std::size_t startImage(std::vector<std::uint8_t>& bytes, std::uint32_t width, std::uint32_t height,
                       std::size_t stride, const Layout& layout) {
    if (layout.prefix) {
        bytes.assign(kPrefixLength, 'P');
    }
    const std::size_t image = bytes.size();
    const std::size_t tableBytes = layout.palette.size() * paletteEntrySize(layout.header);
    const std::size_t pixelOffset = kFileHeaderLength + headerSize(layout.header) + tableBytes;
    const std::size_t fileSize = pixelOffset + stride * height;
    bytes.resize(image + fileSize, 0);

    bytes[image] = 'B';
    bytes[image + 1] = 'M';
    putLe32(bytes, image + 2, static_cast<std::uint32_t>(fileSize));
    putLe32(bytes, image + kPixelOffsetField, static_cast<std::uint32_t>(pixelOffset));
    putLe32(bytes, image + kHeaderSizeField, static_cast<std::uint32_t>(headerSize(layout.header)));
    if (layout.header == HeaderKind::core) {
        putLe16(bytes, image + kCoreWidthField, static_cast<std::uint16_t>(width));
        putLe16(bytes, image + kCoreHeightField, static_cast<std::uint16_t>(height));
        putLe16(bytes, image + 22, 1);  // planes
        putLe16(bytes, image + kCoreBitsField, layout.bitsPerPixel);
    } else {
        const std::int32_t storedHeight =
            layout.topDown ? -static_cast<std::int32_t>(height) : static_cast<std::int32_t>(height);
        putLe32(bytes, image + kInfoWidthField, width);
        putLe32(bytes, image + kInfoHeightField, static_cast<std::uint32_t>(storedHeight));
        putLe16(bytes, image + 26, 1);  // planes
        putLe16(bytes, image + kInfoBitsField, layout.bitsPerPixel);
        putLe32(bytes, image + 34, static_cast<std::uint32_t>(stride * height));
        putLe32(bytes, image + 38, 2835);  // 72 dpi
        putLe32(bytes, image + 42, 2835);
        putLe32(bytes, image + 46, static_cast<std::uint32_t>(layout.palette.size()));
    }
    std::size_t entry = image + kFileHeaderLength + headerSize(layout.header);
    for (const Bgr& colour : layout.palette) {
        bytes[entry] = colour.blue;
        bytes[entry + 1] = colour.green;
        bytes[entry + 2] = colour.red;
        entry += paletteEntrySize(layout.header);
    }
    return image + pixelOffset;
}

std::size_t strideOf(std::uint32_t width, std::uint16_t bitsPerPixel) {
    const std::size_t rowBytes = (std::size_t{width} * bitsPerPixel + 7) / 8;
    return (rowBytes + 3) & ~std::size_t{3};
}

// Offset of the stored row that shows image row `y` (top row 0).
std::size_t storedRow(std::size_t pixels, std::size_t stride, std::uint32_t height, std::uint32_t y,
                      bool topDown) {
    return pixels + stride * (topDown ? y : height - 1 - y);
}

}  // namespace

std::vector<std::uint8_t> directBmp(std::uint32_t width, std::uint32_t height,
                                    const std::vector<Bgr>& colours, const Layout& layout) {
    if (layout.bitsPerPixel != 24 || colours.size() != std::size_t{width} * height) {
        throw std::invalid_argument("directBmp takes 24 bits and one colour per pixel");
    }
    const std::size_t stride = strideOf(width, 24);
    std::vector<std::uint8_t> bytes;
    const std::size_t pixels = startImage(bytes, width, height, stride, layout);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::size_t at = storedRow(pixels, stride, height, y, layout.topDown);
        const std::size_t rowEnd = at + stride;
        for (std::uint32_t x = 0; x < width; ++x) {
            const Bgr& colour = colours[std::size_t{y} * width + x];
            bytes[at++] = colour.blue;
            bytes[at++] = colour.green;
            bytes[at++] = colour.red;
        }
        for (; at < rowEnd; ++at) {
            bytes[at] = layout.fillerByte;
        }
    }
    return bytes;
}

std::vector<std::uint8_t> indexedBmp(std::uint32_t width, std::uint32_t height,
                                     const std::vector<std::uint8_t>& indices, const Layout& layout) {
    const unsigned depth = layout.bitsPerPixel;
    if ((depth != 1 && depth != 4 && depth != 8) || indices.size() != std::size_t{width} * height) {
        throw std::invalid_argument("indexedBmp takes 1, 4 or 8 bits and one index per pixel");
    }
    const std::size_t stride = strideOf(width, layout.bitsPerPixel);
    const std::size_t rowBytes = (std::size_t{width} * depth + 7) / 8;
    std::vector<std::uint8_t> bytes;
    const std::size_t pixels = startImage(bytes, width, height, stride, layout);
    const unsigned perByte = 8 / depth;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::size_t row = storedRow(pixels, stride, height, y, layout.topDown);
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned shift = 8 - depth * (x % perByte + 1);
            bytes[row + x / perByte] |=
                static_cast<std::uint8_t>(indices[std::size_t{y} * width + x] << shift);
        }
        if (layout.fillUnusedBits) {
            const unsigned usedBits = static_cast<unsigned>((std::size_t{width} * depth) % 8);
            if (usedBits != 0) {
                bytes[row + rowBytes - 1] |= static_cast<std::uint8_t>(0xFFU >> usedBits);
            }
        }
        for (std::size_t at = row + rowBytes; at < row + stride; ++at) {
            bytes[at] = layout.fillerByte;
        }
    }
    return bytes;
}

void putLe16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
    bytes.at(offset) = static_cast<std::uint8_t>(value & 0xFF);
    bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void putLe32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes.at(offset + i) = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace bmpwriter
