// Builds BMP files byte by byte, for the sample frames and for the tests' inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bmpwriter {

struct Bgr {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    bool operator==(const Bgr&) const = default;
};

enum class HeaderKind { core, info };  // the 12-byte and the 40-byte header

struct Layout {
    HeaderKind header = HeaderKind::info;
    std::uint16_t bitsPerPixel = 24;
    bool prefix = false;          // 128 bytes in front of the "BM"
    std::uint8_t fillerByte = 0;  // row padding, and unused bits of a row's last byte when set
    bool fillUnusedBits = false;  // indexed rows: set the bits past the width to 1
    std::vector<Bgr> palette;     // entries as stored; written with the header's entry size
    bool topDown = false;         // info header only: negative height, rows stored top first
};

// Pixel values top row first: colours for 24 bits, palette indices for 1, 4 and 8 bits.
std::vector<std::uint8_t> directBmp(std::uint32_t width, std::uint32_t height,
                                    const std::vector<Bgr>& colours, const Layout& layout = {});
std::vector<std::uint8_t> indexedBmp(std::uint32_t width, std::uint32_t height,
                                     const std::vector<std::uint8_t>& indices, const Layout& layout);

// Offsets of the fields a test may want to change, counted from the "BM".
constexpr std::size_t kPixelOffsetField = 10;
constexpr std::size_t kHeaderSizeField = 14;
constexpr std::size_t kInfoWidthField = 18;
constexpr std::size_t kInfoHeightField = 22;
constexpr std::size_t kInfoBitsField = 28;
constexpr std::size_t kInfoCompressionField = 30;
constexpr std::size_t kCoreWidthField = 18;
constexpr std::size_t kCoreHeightField = 20;
constexpr std::size_t kCoreBitsField = 24;

void putLe16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void putLe32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace bmpwriter
