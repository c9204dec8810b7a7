// The decoder's row loops (word loads, pixel pairs, whole-byte bit loops) against the pixels the BMP writer
// was given, for every depth and for widths that leave each kind of tail. The buffer ends right where the
// header check lets it end, so that a sanitizer build sees any read past it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bmp/bmp.h"
#include "bmp_writer.h"

namespace animconv {
namespace {

using bmpwriter::Bgr;
using Bytes = std::vector<std::uint8_t>;

struct Rng {
    std::uint32_t state;
    std::uint32_t next() {
        state = state * 1664525U + 1013904223U;
        return state >> 8;
    }
    std::uint8_t byte() { return static_cast<std::uint8_t>(next()); }
};

// The file cut after the last stored row's pixel bytes: its padding is allowed to be missing.
Bytes withoutLastPadding(Bytes file, std::uint32_t width, std::uint16_t depth) {
    const std::size_t rowBytes = (std::size_t{width} * depth + 7) / 8;
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    file.erase(file.end() - static_cast<std::ptrdiff_t>(stride - rowBytes), file.end());
    return file;
}

void expectPixels(const Bytes& file, std::uint32_t width, std::uint32_t height,
                  const std::vector<Bgr>& expected, const char* what) {
    constexpr std::size_t kGap = 3;
    Bytes out(height * (std::size_t{width} * 4 + kGap), 0x5A);
    ASSERT_EQ(bmpDecode(file.data(), file.size(), out.data(), kGap), 0) << what;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = out.data() + y * (std::size_t{width} * 4 + kGap);
        for (std::uint32_t x = 0; x < width; ++x) {
            const Bgr& colour = expected[std::size_t{y} * width + x];
            const std::uint8_t want[4] = {colour.blue, colour.green, colour.red, 0};
            ASSERT_EQ(std::memcmp(row + x * 4, want, 4), 0)
                << what << " width " << width << " at " << x << "," << y;
        }
        for (std::size_t g = 0; g < kGap; ++g) {
            ASSERT_EQ(row[width * 4 + g], 0x5A) << what << ": the row gap was written";
        }
    }
}

TEST(BmpDecodeEquivalence, EveryDepthAndTailMatchesTheWrittenPixels) {
    Rng rng{7};
    const std::uint32_t widths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 15, 16, 17, 190};
    for (const std::uint16_t depth :
         {std::uint16_t{24}, std::uint16_t{8}, std::uint16_t{4}, std::uint16_t{1}}) {
        for (const auto header : {bmpwriter::HeaderKind::info, bmpwriter::HeaderKind::core}) {
            for (const std::uint32_t width : widths) {
                const std::uint32_t height = width == 190 ? 170 : 3;
                bmpwriter::Layout layout;
                layout.header = header;
                layout.bitsPerPixel = depth;
                layout.fillerByte = 0xC3;  // padding that would show if decoded
                layout.fillUnusedBits = true;
                std::vector<Bgr> expected(std::size_t{width} * height);
                Bytes file;
                if (depth == 24) {
                    for (Bgr& colour : expected) {
                        colour = {rng.byte(), rng.byte(), rng.byte()};
                    }
                    file = bmpwriter::directBmp(width, height, expected, layout);
                } else {
                    const std::size_t entries = std::size_t{1} << depth;
                    for (std::size_t i = 0; i < entries; ++i) {
                        layout.palette.push_back({rng.byte(), rng.byte(), rng.byte()});
                    }
                    Bytes indices(expected.size());
                    for (std::size_t i = 0; i < indices.size(); ++i) {
                        indices[i] = static_cast<std::uint8_t>(rng.next() % entries);
                        expected[i] = layout.palette[indices[i]];
                    }
                    file = bmpwriter::indexedBmp(width, height, indices, layout);
                }
                expectPixels(withoutLastPadding(file, width, depth), width, height, expected,
                             header == bmpwriter::HeaderKind::info ? "info header" : "core header");
            }
        }
    }
}

}  // namespace
}  // namespace animconv
