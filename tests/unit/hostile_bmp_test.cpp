// Malformed BMP files of the kinds that have crashed decoders elsewhere, each with its exact outcome: the
// header check and decoder on the file's own bytes, and the converter's checks on the file as it reads it
// (zero past the end of the file in its 97,294-byte buffer). The end-to-end suite shows each outcome's
// message once.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "bmp/bmp.h"
#include "bmp_writer.h"
#include "convert/convert_frame.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace bmpwriter;

using Converter = animconv::InputStatus;

struct Hostile {
    std::string name;
    Bytes file;
    int info;    // bmpGetInfo over the file's exact bytes
    int decode;  // bmpDecode over the same bytes
    Converter converter;
};

struct Field {
    std::size_t offset;
    std::uint32_t value;
    int bytes;
};

Bytes with(Bytes image, std::initializer_list<Field> fields) {
    for (const Field& field : fields) {
        field.bytes == 2 ? putLe16(image, field.offset, static_cast<std::uint16_t>(field.value))
                         : putLe32(image, field.offset, field.value);
    }
    return image;
}

Bytes cut(Bytes image, std::size_t length) {
    image.resize(length);
    return image;
}

Bytes smallDirect() {  // 3x2, 24 bits: rows of 9 bytes padded to 12, 78 bytes in all
    return directBmp(3, 2, std::vector<Bgr>(6, Bgr{10, 200, 90}));
}

Bytes indexed(std::uint32_t width, std::uint32_t height, std::uint16_t depth, HeaderKind header,
              bool prefix) {
    Layout layout;
    layout.header = header;
    layout.bitsPerPixel = depth;
    layout.prefix = prefix;
    layout.palette.assign(std::size_t{1} << depth, Bgr{40, 90, 250});
    return indexedBmp(width, height, std::vector<std::uint8_t>(std::size_t{width} * height, 1), layout);
}

std::vector<Hostile> hostileFiles() {
    const Bytes small = smallDirect();
    const Bytes frame8 = indexed(190, 170, 8, HeaderKind::info, false);  // 1,078 + 192 x 170 = 33,718 bytes
    const Bytes frame24 = directBmp(190, 170, std::vector<Bgr>(190 * 170, Bgr{1, 2, 3}));
    using C = Converter;
    std::vector<Hostile> rows = {
        {"height INT_MIN", with(small, {{kInfoHeightField, 0x80000000U, 4}}), 1, 1, C::unusableBmp},
        {"width 0", with(small, {{kInfoWidthField, 0, 4}}), 1, 1, C::unusableBmp},
        {"height 0", with(small, {{kInfoHeightField, 0, 4}}), 1, 1, C::unusableBmp},
        {"height -2, top-down", with(small, {{kInfoHeightField, static_cast<std::uint32_t>(-2), 4}}), 1, 1,
         C::unusableBmp},
        {"190x-170, top-down", with(frame8, {{kInfoHeightField, static_cast<std::uint32_t>(-170), 4}}), 1, 1,
         C::unusableBmp},
        {"width -190", with(frame8, {{kInfoWidthField, static_cast<std::uint32_t>(-190), 4}}), 0, 1,
         C::notBmp},
        {"depth 0", with(frame8, {{kInfoBitsField, 0, 2}}), 1, 1, C::decodeError},
        {"depth 2", with(frame8, {{kInfoBitsField, 2, 2}}), 1, 1, C::decodeError},
        {"depth 3", with(frame8, {{kInfoBitsField, 3, 2}}), 1, 1, C::decodeError},
        // 1,078 + 380 x 170 passes the 97,294-byte buffer, not the 33,718-byte file.
        {"depth 16", with(frame8, {{kInfoBitsField, 16, 2}}), 0, 1, C::decodeError},
        {"depth 32", with(frame8, {{kInfoBitsField, 32, 2}}), 0, 1, C::notBmp},
        {"depth 30000", with(frame8, {{kInfoBitsField, 30000, 2}}), 0, 1, C::notBmp},
        {"pixel offset 0, inside the header", with(frame8, {{kPixelOffsetField, 0, 4}}), 1, 0, C::decoded},
        {"pixel offset 14, inside the header", with(frame8, {{kPixelOffsetField, 14, 4}}), 1, 0, C::decoded},
        {"pixel array ending exactly at the end", with(frame8, {{kPixelOffsetField, 1'080, 4}}), 1, 0,
         C::decoded},
        {"pixel array one byte past the end", with(frame8, {{kPixelOffsetField, 1'081, 4}}), 0, 1,
         C::decoded},
        {"pixel offset far past the end", with(frame8, {{kPixelOffsetField, 0xFFFFFFFFU, 4}}), 0, 1,
         C::notBmp},
        {"8-bit table running past a 2x2 file",
         cut(with(indexed(2, 2, 8, HeaderKind::info, false), {{kPixelOffsetField, 54, 4}}), 62), 1, 1,
         C::unusableBmp},
        {"1-bit table running past a 1x1 file",
         cut(with(indexed(1, 1, 1, HeaderKind::info, false), {{kPixelOffsetField, 54, 4}}), 58), 1, 1,
         C::unusableBmp},
        {"4-bit core table running past a 2x1 file",
         cut(with(indexed(2, 1, 4, HeaderKind::core, false), {{kPixelOffsetField, 26, 4}}), 30), 1, 1,
         C::unusableBmp},
        {"core header, 190x170, 8 bits", indexed(190, 170, 8, HeaderKind::core, false), 1, 0, C::decoded},
        // Too short for the core header, yet the converter's zero-filled buffer completes it.
        {"core header cut to 26 bytes", cut(indexed(190, 170, 8, HeaderKind::core, false), 26), 0, 1,
         C::decoded},
        {"8 bits behind the prefix", indexed(190, 170, 8, HeaderKind::info, true), 1, 0, C::decoded},
        // Whole in its own 97,422 bytes, cut by the converter's 97,294-byte buffer.
        {"24 bits behind the prefix",
         [] {
             Layout layout;
             layout.prefix = true;
             return directBmp(190, 170, std::vector<Bgr>(190 * 170), layout);
         }(),
         1, 0, C::notBmp},
        {"24 bits, 190x170, without the last row's padding", cut(frame24, frame24.size() - 2), 1, 0,
         C::decoded},
        {"24 bits, 190x170, cut to its header", cut(frame24, 54), 0, 1, C::decoded},
    };
    for (const std::uint32_t headerSize : {16U, 52U, 56U, 64U, 108U, 124U}) {
        rows.push_back({"header size " + std::to_string(headerSize),
                        with(small, {{kHeaderSizeField, headerSize, 4}}), 0, 1, C::notBmp});
    }
    for (std::uint32_t compression = 1; compression <= 6; ++compression) {
        rows.push_back({"compression " + std::to_string(compression),
                        with(frame8, {{kInfoCompressionField, compression, 4}}), 0, 1, C::notBmp});
    }
    // Widths whose row size in bits is 2^32 or more: with 32-bit arithmetic it would wrap to a small row.
    for (const auto& [depth, width] : std::initializer_list<std::pair<std::uint32_t, std::uint32_t>>{
             {1, 0xFFFFFFFFU}, {4, 0x40000000U}, {8, 0x20000000U}, {24, 0x0AAAAAABU}, {32, 0x08000000U}}) {
        for (const std::uint32_t height : {1U, 2U}) {
            rows.push_back({std::to_string(depth) + " bits, width " + std::to_string(width) + ", height " +
                                std::to_string(height),
                            with(small, {{kInfoBitsField, depth, 2},
                                         {kInfoWidthField, width, 4},
                                         {kInfoHeightField, height, 4}}),
                            0, 1, C::notBmp});
        }
    }
    // Every length of a small file: the padding of its last stored row may be missing (75 of 78 bytes).
    // The converter reads the missing bytes as zeros: with the header size in place the 3x2 image is found.
    for (std::size_t length = 0; length <= small.size(); ++length) {
        const int whole = length >= 75 ? 1 : 0;
        rows.push_back({"3x2 cut to " + std::to_string(length) + " bytes", cut(small, length), whole,
                        1 - whole, length >= 15 ? C::unusableBmp : C::notBmp});
    }
    return rows;
}

// The converter's checks on `file` as it reads it: zero past the file's end in its 97,294-byte buffer.
Converter converterOutcome(const Bytes& file) {
    static std::uint8_t input[animconv::kInputCapacity];
    static animconv::FrameBuffer frame;
    const std::size_t kept = std::min(file.size(), animconv::kInputCapacity);
    std::fill(std::copy_n(file.begin(), kept, input), std::end(input), 0);
    return animconv::decodeInput(input, animconv::kInputCapacity, frame);
}

TEST(HostileBmp, EachMalformedFileHasItsExactOutcome) {
    for (const Hostile& row : hostileFiles()) {
        SCOPED_TRACE(row.name);
        animconv::BmpInfo info{7, 7};
        EXPECT_EQ(animconv::bmpGetInfo(row.file.data(), row.file.size(), info), row.info);
        // An output exactly as large as the header asks for, when it asks for a sane one.
        const bool sane = row.info == 1 && info.width >= 1 && info.height >= 1 && info.width <= 1'000'000 &&
                          info.height <= 1'000'000;
        Bytes out(sane ? std::size_t{info.width} * static_cast<std::size_t>(info.height) * 4 : 1, 0xA5);
        EXPECT_EQ(animconv::bmpDecode(row.file.data(), row.file.size(), out.data(), 0), row.decode);
        EXPECT_EQ(converterOutcome(row.file), row.converter);
    }
}

// Near misses of a 190x170 image, each refused for its reason: the size, the header, the depth, the
// signature, and fields near their limits that must not wrap into a small extent.
TEST(HostileBmp, NearMissesAreRefusedForTheirReason) {
    using C = Converter;
    const Bytes info24 = directBmp(190, 170, std::vector<Bgr>(190 * 170, Bgr{10, 20, 200}));
    Layout core;
    core.header = HeaderKind::core;
    const Bytes core24 = directBmp(190, 170, std::vector<Bgr>(190 * 170, Bgr{10, 20, 200}), core);
    const auto direct = [](std::uint32_t width, std::uint32_t height, const Layout& layout) {
        return directBmp(width, height, std::vector<Bgr>(std::size_t{width} * height), layout);
    };
    Layout prefixedCore = core;
    prefixedCore.prefix = true;
    Layout topDown;
    topDown.topDown = true;
    // "BM" at an offset other than 0 and 128 is not looked for; "BM" at the start decides.
    Bytes shifted(64, 0);
    shifted.insert(shifted.end(), info24.begin(), info24.end() - 64);
    Bytes twoSignatures = indexed(190, 170, 8, HeaderKind::info, true);
    twoSignatures[0] = 'B';
    twoSignatures[1] = 'M';
    const struct {
        const char* name;
        Bytes file;
        Converter outcome;
    } rows[] = {
        {"core header, 24 bits, behind the prefix", direct(190, 170, prefixedCore), C::notBmp},
        {"200x170, 24 bits", direct(200, 170, {}), C::notBmp},
        {"190x171, 24 bits", direct(190, 171, {}), C::notBmp},
        {"200x170, 8 bits", indexed(200, 170, 8, HeaderKind::info, false), C::unusableBmp},
        {"190x171, 8 bits", indexed(190, 171, 8, HeaderKind::info, false), C::unusableBmp},
        {"189x170, 24 bits", direct(189, 170, {}), C::unusableBmp},
        {"190x169, 24 bits", direct(190, 169, {}), C::unusableBmp},
        {"170x190, 4 bits", indexed(170, 190, 4, HeaderKind::info, false), C::unusableBmp},
        {"189x170, core header", direct(189, 170, core), C::unusableBmp},
        {"top-down", direct(190, 170, topDown), C::unusableBmp},
        {"width 0", with(info24, {{kInfoWidthField, 0, 4}}), C::unusableBmp},
        {"height 0", with(info24, {{kInfoHeightField, 0, 4}}), C::unusableBmp},
        {"core height 0", with(core24, {{kCoreHeightField, 0, 2}}), C::unusableBmp},
        {"depth 16", with(info24, {{kInfoBitsField, 16, 2}}), C::decodeError},
        {"depth 16, bit fields", with(info24, {{kInfoBitsField, 16, 2}, {kInfoCompressionField, 3, 4}}),
         C::notBmp},
        {"depth 32", with(info24, {{kInfoBitsField, 32, 2}}), C::notBmp},
        {"depth 0", with(info24, {{kInfoBitsField, 0, 2}}), C::decodeError},
        {"depth 2", with(info24, {{kInfoBitsField, 2, 2}}), C::decodeError},
        {"core depth 16", with(core24, {{kCoreBitsField, 16, 2}}), C::decodeError},
        {"RLE8", with(indexed(190, 170, 8, HeaderKind::info, false), {{kInfoCompressionField, 1, 4}}),
         C::notBmp},
        {"header size 108", with(info24, {{kHeaderSizeField, 108, 4}}), C::notBmp},
        {"header size 124", with(info24, {{kHeaderSizeField, 124, 4}}), C::notBmp},
        {"pixel offset past the buffer", with(info24, {{kPixelOffsetField, 100, 4}}), C::notBmp},
        {"width near 2^32", with(info24, {{kInfoWidthField, 0xFFFFFFBE, 4}}), C::notBmp},
        {"width above 2^16", with(info24, {{kInfoWidthField, 0x100BE, 4}}), C::notBmp},
        {"height most negative", with(info24, {{kInfoHeightField, 0x80000000, 4}}), C::unusableBmp},
        {"height most positive", with(info24, {{kInfoHeightField, 0x7FFFFFFF, 4}}), C::notBmp},
        {"pixel offset 2^32 - 1", with(info24, {{kPixelOffsetField, 0xFFFFFFFF, 4}}), C::notBmp},
        {"depth 65535", with(info24, {{kInfoBitsField, 0xFFFF, 2}}), C::notBmp},
        {"header size 2^32 - 1", with(info24, {{kHeaderSizeField, 0xFFFFFFFF, 4}}), C::notBmp},
        {"empty file", {}, C::notBmp},
        {"text", Bytes{'H', 'e', 'l', 'l', 'o', '\n'}, C::notBmp},
        {"signature only", Bytes{'B', 'M'}, C::notBmp},
        {"lower-case signature", with(info24, {{0, 0x6D62, 2}}), C::notBmp},
        {"PNG signature", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, C::notBmp},
        {"signature at 64", shifted, C::notBmp},
        {"signatures at the start and at 128", twoSignatures, C::notBmp},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(converterOutcome(row.file), row.outcome);
    }
}

}  // namespace
