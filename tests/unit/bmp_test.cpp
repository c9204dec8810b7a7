#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bmp/bmp.h"
#include "bmp_writer.h"

namespace animconv {
namespace {

using bmpwriter::Bgr;
using bmpwriter::HeaderKind;
using bmpwriter::Layout;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kConverterBuffer = 97'294;

// The image copied to the front of a zero-filled buffer of `length` bytes, as the converter holds it.
Bytes inBuffer(const Bytes& image, std::size_t length) {
    Bytes buffer(length, 0);
    std::copy_n(image.begin(), std::min(image.size(), length), buffer.begin());
    return buffer;
}

std::vector<Bgr> distinctColours(std::size_t count) {
    std::vector<Bgr> colours(count);
    for (std::size_t i = 0; i < count; ++i) {
        colours[i] = Bgr{static_cast<std::uint8_t>(i * 3 + 1), static_cast<std::uint8_t>(i * 5 + 2),
                         static_cast<std::uint8_t>(i * 7 + 3)};
    }
    return colours;
}

Bytes expectedPixels(const std::vector<Bgr>& colours) {
    Bytes pixels;
    for (const Bgr& colour : colours) {
        pixels.insert(pixels.end(), {colour.blue, colour.green, colour.red, 0});
    }
    return pixels;
}

int decode(const Bytes& buffer, Bytes& out, std::size_t rowGap = 0) {
    return bmpDecode(buffer.data(), buffer.size(), out.data(), rowGap);
}

TEST(BmpHeader, ReadsBothHeaderKindsAndThePrefix) {
    struct Case {
        const char* name;
        HeaderKind header;
        bool prefix;
        std::uint64_t palettePosition;
        std::uint8_t entrySize;
    };
    const Case cases[] = {
        {"info", HeaderKind::info, false, 54, 4},
        {"core", HeaderKind::core, false, 26, 3},
        {"info behind prefix", HeaderKind::info, true, 128 + 54, 4},
        {"core behind prefix", HeaderKind::core, true, 128 + 26, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Layout layout;
        layout.header = c.header;
        layout.prefix = c.prefix;
        const Bytes image = bmpwriter::directBmp(5, 3, distinctColours(15), layout);
        BmpGeometry geometry;
        ASSERT_TRUE(parseBmpHeader(image.data(), image.size(), geometry));
        EXPECT_EQ(geometry.width, 5U);
        EXPECT_EQ(geometry.height, 3);
        EXPECT_EQ(geometry.bitsPerPixel, 24);
        EXPECT_EQ(geometry.palettePosition, c.palettePosition);
        EXPECT_EQ(geometry.paletteEntrySize, c.entrySize);
        EXPECT_EQ(geometry.rowBytes, 15U);
        EXPECT_EQ(geometry.stride, 16U);
        EXPECT_EQ(geometry.pixelArrayEnd, static_cast<std::int64_t>(image.size()));
    }
}

TEST(BmpHeader, RejectsMalformedHeaders) {
    const Bytes good = bmpwriter::directBmp(4, 2, distinctColours(8));
    struct Case {
        const char* name;
        std::size_t offset;
        std::uint32_t value;
        int width;  // 2 or 4 bytes written
    };
    const Case cases[] = {
        {"signature", 0, 'B' | ('X' << 8), 2},
        {"header size 108", 14, 108, 4},
        {"header size 124", 14, 124, 4},
        {"header size 0", 14, 0, 4},
        {"compression 1", 30, 1, 4},
        {"compression 3", 30, 3, 4},
        {"pixel data past the end", 10, 4000, 4},
        {"height past the end", 22, 3, 4},
        {"width past the end", 18, 1000, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes image = good;
        if (c.width == 2) {
            bmpwriter::putLe16(image, c.offset, static_cast<std::uint16_t>(c.value));
        } else {
            bmpwriter::putLe32(image, c.offset, c.value);
        }
        BmpInfo info{123, 456};
        EXPECT_EQ(bmpGetInfo(image.data(), image.size(), info), 0);
        EXPECT_EQ(info.width, 123U) << "info is left untouched on failure";
        EXPECT_EQ(info.height, 456);
        Bytes out(4 * 2 * 4, 0xAA);
        EXPECT_EQ(decode(image, out), 1);
    }
}

TEST(BmpHeader, LengthLimits) {
    // Zero-width images have an empty pixel array, so only the header's own length limits apply:
    // a core header needs more than 26 bytes, an info header more than 54.
    const Bytes core = inBuffer(bmpwriter::directBmp(0, 1, {}, Layout{.header = HeaderKind::core}), 27);
    BmpGeometry geometry;
    EXPECT_FALSE(parseBmpHeader(core.data(), 18, geometry));
    EXPECT_FALSE(parseBmpHeader(core.data(), 26, geometry));
    EXPECT_TRUE(parseBmpHeader(core.data(), 27, geometry));

    const Bytes info = inBuffer(bmpwriter::directBmp(0, 1, {}), 55);
    EXPECT_FALSE(parseBmpHeader(info.data(), 54, geometry));
    EXPECT_TRUE(parseBmpHeader(info.data(), 55, geometry));

    // Without "BM" at the start the image is looked for 128 bytes in, which needs 147 bytes at least.
    Bytes prefixed =
        bmpwriter::directBmp(1, 1, distinctColours(1), Layout{.header = HeaderKind::core, .prefix = true});
    EXPECT_FALSE(parseBmpHeader(prefixed.data(), 146, geometry));
    prefixed[128] = 'X';
    EXPECT_FALSE(parseBmpHeader(prefixed.data(), prefixed.size(), geometry));
}

TEST(BmpHeader, ExtentCountsTheWholeBufferAndForgivesTheLastRowsPadding) {
    Bytes image = bmpwriter::directBmp(190, 170, std::vector<Bgr>(190 * 170));
    ASSERT_EQ(image.size(), kConverterBuffer);
    BmpInfo info;
    EXPECT_EQ(bmpGetInfo(image.data(), 97'292, info), 1) << "the last row's 2 padding bytes may be missing";
    EXPECT_EQ(bmpGetInfo(image.data(), 97'291, info), 0);

    // A 24-bit image behind the prefix no longer fits the converter's buffer; an 8-bit one does.
    Layout prefixed{.prefix = true};
    const Bytes prefixed24 =
        inBuffer(bmpwriter::directBmp(190, 170, std::vector<Bgr>(190 * 170), prefixed), kConverterBuffer);
    EXPECT_EQ(bmpGetInfo(prefixed24.data(), prefixed24.size(), info), 0);
    prefixed.bitsPerPixel = 8;
    prefixed.palette = distinctColours(256);
    const Bytes prefixed8 =
        inBuffer(bmpwriter::indexedBmp(190, 170, Bytes(190 * 170, 7), prefixed), kConverterBuffer);
    ASSERT_EQ(bmpGetInfo(prefixed8.data(), prefixed8.size(), info), 1);
    EXPECT_EQ(info.width, 190U);
    EXPECT_EQ(info.height, 170);
}

TEST(BmpHeader, HugeFieldsNeitherWrapNorPass) {
    const Bytes good = bmpwriter::directBmp(4, 2, distinctColours(8));
    struct Case {
        const char* name;
        std::uint32_t width;
        std::uint32_t height;
        std::uint16_t bits;
        std::uint32_t pixelOffset;
        bool passes;
    };
    const Case cases[] = {
        {"widest 24-bit", 0xFFFFFFFFU, 1, 24, 54, false},
        {"widest at 65535 bits", 0xFFFFFFFFU, 0x7FFFFFFF, 0xFFFF, 54, false},
        {"tallest", 4, 0x7FFFFFFF, 24, 54, false},
        {"offset at the 32-bit limit", 4, 2, 24, 0xFFFFFFFFU, false},
        // Top-down images put the extent before the pixel array: the header check lets them through.
        {"top-down", 4, static_cast<std::uint32_t>(-2), 24, 54, true},
        {"most negative height", 0xFFFFFFFFU, 0x80000000U, 0xFFFF, 0xFFFFFFFFU, true},
        {"zero width", 0, 2, 24, 54, true},
        {"zero height", 4, 0, 24, 54, true},
        {"zero height, offset 3 past the end", 1, 0, 8, 81, true},
        {"zero height, offset 4 past the end", 1, 0, 8, 82, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes image = good;
        bmpwriter::putLe32(image, bmpwriter::kInfoWidthField, c.width);
        bmpwriter::putLe32(image, bmpwriter::kInfoHeightField, c.height);
        bmpwriter::putLe16(image, bmpwriter::kInfoBitsField, c.bits);
        bmpwriter::putLe32(image, bmpwriter::kPixelOffsetField, c.pixelOffset);
        BmpInfo info;
        ASSERT_EQ(image.size(), 54U + 12 * 2);
        EXPECT_EQ(bmpGetInfo(image.data(), image.size(), info), c.passes ? 1 : 0);
        Bytes out(64, 0xAA);
        EXPECT_EQ(decode(image, out), 1) << "none of these may be decoded";
        EXPECT_EQ(out, Bytes(64, 0xAA)) << "a failed decode writes nothing";
    }
}

TEST(BmpDecode, Rows24BitComeOutTopRowFirst) {
    // Stored rows [bottom: P0 P1][top: P2 P3] decode to P2, P3, P0, P1.
    const std::vector<Bgr> topFirst = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    Layout layout;
    layout.fillerByte = 0xEE;  // padding that would show if it were read as pixels
    const Bytes image = bmpwriter::directBmp(2, 2, topFirst, layout);
    ASSERT_EQ(image[54], 7) << "the writer stores the bottom row first";
    Bytes out(16, 0xAA);
    ASSERT_EQ(decode(image, out), 0);
    EXPECT_EQ(out, expectedPixels(topFirst));
}

TEST(BmpDecode, RowGapIsSkippedAndLeftAsItWas) {
    const std::vector<Bgr> colours = distinctColours(3 * 2);
    const Bytes image = bmpwriter::directBmp(3, 2, colours, Layout{.header = HeaderKind::core});
    Bytes out(2 * (12 + 5), 0xAA);
    ASSERT_EQ(decode(image, out, 5), 0);
    const Bytes pixels = expectedPixels(colours);
    Bytes expected;
    for (int row = 0; row < 2; ++row) {
        expected.insert(expected.end(), pixels.begin() + row * 12, pixels.begin() + row * 12 + 12);
        expected.insert(expected.end(), 5, 0xAA);
    }
    EXPECT_EQ(out, expected);
}

TEST(BmpDecode, RejectsWhatItCannotDecodeWithoutWriting) {
    const std::uint16_t unsupported[] = {0, 2, 3, 16, 32};
    for (std::uint16_t bits : unsupported) {
        SCOPED_TRACE(bits);
        Bytes image = bmpwriter::directBmp(4, 2, distinctColours(8));
        bmpwriter::putLe16(image, bmpwriter::kInfoBitsField, bits);
        BmpInfo info;
        EXPECT_EQ(bmpGetInfo(inBuffer(image, 1000).data(), 1000, info), 1)
            << "the depth is not a header matter";
        Bytes out(64, 0xAA);
        EXPECT_EQ(decode(inBuffer(image, 1000), out), 1);
        EXPECT_EQ(out, Bytes(64, 0xAA));
    }
}

TEST(BmpDecode, PixelOffsetInsideTheHeaderDecodesThoseBytes) {
    Bytes image = bmpwriter::directBmp(1, 1, {{9, 9, 9}});
    bmpwriter::putLe32(image, bmpwriter::kPixelOffsetField, 0);
    Bytes out(4, 0xAA);
    ASSERT_EQ(decode(image, out), 0);
    EXPECT_EQ(out, (Bytes{'B', 'M', image[2], 0}));
}

// Indexed images: every depth with both header kinds, widths that leave unused bits, padding set to ones.
TEST(BmpDecode, IndexedDepthsUseTheirTableAndIgnoreUnusedBits) {
    struct Case {
        std::uint16_t bits;
        std::uint32_t width;
    };
    const Case cases[] = {{8, 5}, {8, 4}, {4, 3}, {4, 8}, {1, 10}, {1, 16}, {1, 1}};
    const HeaderKind kinds[] = {HeaderKind::info, HeaderKind::core};
    for (const Case& c : cases) {
        for (HeaderKind kind : kinds) {
            SCOPED_TRACE(testing::Message() << c.bits << "-bit width " << c.width
                                            << (kind == HeaderKind::core ? " core" : " info"));
            const std::size_t entries = std::size_t{1} << c.bits;
            const std::uint32_t height = 3;
            Bytes indices(c.width * height);
            for (std::size_t i = 0; i < indices.size(); ++i) {
                indices[i] = static_cast<std::uint8_t>((i * 7 + i / c.width) % entries);
            }
            Layout layout{.header = kind, .bitsPerPixel = c.bits, .fillerByte = 0xFF, .fillUnusedBits = true};
            layout.palette = distinctColours(entries);
            const Bytes image = bmpwriter::indexedBmp(c.width, height, indices, layout);
            Bytes out(indices.size() * 4, 0xAA);
            ASSERT_EQ(decode(image, out), 0);
            std::vector<Bgr> colours;
            for (std::uint8_t index : indices) {
                colours.push_back(layout.palette[index]);
            }
            EXPECT_EQ(out, expectedPixels(colours));
        }
    }
}

TEST(BmpDecode, InfoHeaderTableEntriesIgnoreTheirFourthByte) {
    Layout layout{.bitsPerPixel = 1};
    layout.palette = {{1, 2, 3}, {4, 5, 6}};
    Bytes image = bmpwriter::indexedBmp(2, 1, {1, 0}, layout);
    image[54 + 3] = 0x77;
    image[54 + 7] = 0x88;
    Bytes out(8, 0xAA);
    ASSERT_EQ(decode(image, out), 0);
    EXPECT_EQ(out, (Bytes{4, 5, 6, 0, 1, 2, 3, 0}));
}

TEST(BmpDecode, ShortDeclaredTableStillReadsAllEntriesFromTheBytesAfterIt) {
    Layout layout{.bitsPerPixel = 8};
    layout.palette = {{10, 20, 30}, {40, 50, 60}};  // two entries stored, 256 read
    const Bytes indices = {0, 1, 2, 3};
    const Bytes image = bmpwriter::indexedBmp(4, 1, indices, layout);
    // Entries 2 and 3 overlay the pixel array, which follows the stored table at offset 62.
    ASSERT_EQ(image.size(), 62U + 4);
    Bytes buffer = inBuffer(image, 62 + 1024);
    Bytes out(16, 0xAA);
    ASSERT_EQ(decode(buffer, out), 0);
    const Bytes expected = {10, 20, 30, 0, 40, 50, 60, 0, 0, 1, 2, 0, 0, 0, 0, 0};
    EXPECT_EQ(out, expected) << "entry 2 is the pixel bytes 0 1 2 3, entry 3 the zeros after them";
}

TEST(BmpDecode, TableRunningPastTheBufferFailsWithoutWriting) {
    Layout layout{.bitsPerPixel = 8};
    layout.palette = distinctColours(2);
    const Bytes image = bmpwriter::indexedBmp(4, 1, {0, 1, 0, 1}, layout);
    Bytes out(16, 0xAA);
    EXPECT_EQ(decode(image, out), 1) << "256 entries of 4 bytes do not fit in " << image.size() << " bytes";
    EXPECT_EQ(out, Bytes(16, 0xAA));
    const Bytes exact = inBuffer(image, 54 + 1024);
    EXPECT_EQ(decode(exact, out), 0) << "a table ending exactly at the buffer's end is read";
}

// What bmpEncode writes reads back through bmpDecode as the pixels it was given; odd widths get row padding.
TEST(BmpEncode, RoundTripsThroughTheDecoder) {
    struct Case {
        std::uint32_t width, height;
        std::uint16_t bits;
        std::size_t size;
    };
    const Case cases[] = {
        {190, 170, 24, 97'294},       {190, 170, 8, 14 + 40 + 1024 + 192 * 170},
        {5, 3, 24, 14 + 40 + 16 * 3}, {5, 3, 8, 14 + 40 + 1024 + 8 * 3},
        {1, 1, 24, 14 + 40 + 4},
    };
    Bytes palette(256 * 4);
    for (std::size_t i = 0; i < palette.size(); ++i) {
        palette[i] = i % 4 == 3 ? 0 : static_cast<std::uint8_t>(i * 7 + 1);
    }
    for (const Case& c : cases) {
        const std::size_t pixels = std::size_t{c.width} * c.height;
        Bytes source(pixels * (c.bits == 8 ? 1 : 4));
        for (std::size_t i = 0; i < source.size(); ++i) {
            source[i] = static_cast<std::uint8_t>(i * 13 + 5);
        }
        Bytes expected(pixels * 4);
        for (std::size_t p = 0; p < pixels; ++p) {
            const std::uint8_t* colour = c.bits == 8 ? &palette[source[p] * 4U] : &source[p * 4];
            expected[p * 4] = colour[0];
            expected[p * 4 + 1] = colour[1];
            expected[p * 4 + 2] = colour[2];
            expected[p * 4 + 3] = 0;
        }
        ASSERT_EQ(bmpEncodedSize(c.width, c.height, c.bits), c.size) << c.width << "x" << c.height;
        Bytes file(c.size);
        EXPECT_EQ(
            bmpEncode(source.data(), c.width, c.height, c.bits, palette.data(), file.data(), c.size - 1), 0u)
            << "one byte short";
        ASSERT_EQ(
            bmpEncode(source.data(), c.width, c.height, c.bits, palette.data(), file.data(), file.size()),
            c.size);
        BmpInfo info;
        ASSERT_EQ(bmpGetInfo(file.data(), file.size(), info), 1);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, static_cast<std::int32_t>(c.height)) << "bottom-up";
        Bytes decoded(pixels * 4);
        ASSERT_EQ(decode(file, decoded), 0);
        EXPECT_EQ(decoded, expected) << c.width << "x" << c.height << " at " << c.bits << " bits";
    }
    EXPECT_EQ(bmpEncodedSize(190, 170, 4), 0u) << "only 8 and 24 bits";
    EXPECT_EQ(bmpEncodedSize(0x40000000, 4, 24), 0u) << "past the 32-bit size field";
}

}  // namespace
}  // namespace animconv
