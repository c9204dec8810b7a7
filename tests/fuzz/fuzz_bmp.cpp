// The header parser and the decoder on buffers of any length and content.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bmp/bmp.h"
#include "fuzz_check.h"

namespace {

// A decodable image's pixels lie inside the input, so its output stays far below this.
constexpr std::uint64_t kLargestOutput = std::uint64_t{4} << 20;
constexpr std::uint8_t kUntouched = 0xA5;

__extension__ typedef __int128 Wide;  // products of a 32-bit width, 16-bit depth and 32-bit height

std::uint32_t le(const std::uint8_t* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | at[i];
    }
    return value;
}

// The header rules in their plain words, in integers too wide for anything to wrap.
bool headerIsValid(const std::uint8_t* buffer, std::size_t size, std::uint32_t& width, std::int32_t& height) {
    if (size <= 18) {
        return false;
    }
    std::size_t start = 0;
    if (buffer[0] != 'B' || buffer[1] != 'M') {
        if (size < 128 + 19 || buffer[128] != 'B' || buffer[129] != 'M') {
            return false;
        }
        start = 128;
    }
    const std::uint8_t* image = buffer + start;
    const std::size_t remaining = size - start;
    std::uint32_t bits = 0;
    if (le(image + 14, 4) == 12) {
        if (remaining <= 26) {
            return false;
        }
        width = le(image + 18, 2);
        height = static_cast<std::int32_t>(le(image + 20, 2));
        bits = le(image + 24, 2);
    } else {
        if (remaining <= 54 || le(image + 14, 4) != 40 || le(image + 30, 4) != 0) {
            return false;
        }
        width = le(image + 18, 4);
        height = static_cast<std::int32_t>(le(image + 22, 4));
        bits = le(image + 28, 2);
    }
    const Wide rowBytes = (Wide{width} * bits + 7) / 8;
    const Wide stride = (rowBytes + 3) / 4 * 4;
    const Wide extent = Wide{start} + le(image + 10, 4) + stride * height - (stride - rowBytes);
    return extent <= Wide{size};
}

bool isDecodedDepth(std::uint16_t depth) {
    return depth == 1 || depth == 4 || depth == 8 || depth == 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace animconv;
    // An exact-size heap copy: a read of even one byte past the input is a sanitizer finding.
    const std::vector<std::uint8_t> buffer(data, data + size);
    const std::uint8_t* bytes = buffer.data();

    BmpGeometry geometry;
    const bool parsed = parseBmpHeader(bytes, size, geometry);
    BmpInfo info{0xDEADBEEF, -12345};
    const int infoResult = bmpGetInfo(bytes, size, info);
    FUZZ_CHECK(infoResult == (parsed ? 1 : 0));
    std::uint32_t expectedWidth = 0;
    std::int32_t expectedHeight = 0;
    FUZZ_CHECK(parsed == headerIsValid(bytes, size, expectedWidth, expectedHeight));
    if (!parsed) {
        FUZZ_CHECK(info.width == 0xDEADBEEF && info.height == -12345);
        std::uint8_t nothing = kUntouched;
        FUZZ_CHECK(bmpDecode(bytes, size, &nothing, 0) == 1 && nothing == kUntouched);
        return 0;
    }
    FUZZ_CHECK(info.width == geometry.width && info.height == geometry.height);
    FUZZ_CHECK(info.width == expectedWidth && info.height == expectedHeight);
    FUZZ_CHECK(geometry.paletteEntrySize == 3 || geometry.paletteEntrySize == 4);

    // A colour table of 2, 16 or 256 entries for the indexed depths must lie whole inside the buffer.
    const std::uint16_t depth = geometry.bitsPerPixel;
    const bool tableFits =
        isDecodedDepth(depth) && (depth == 24 || (geometry.palettePosition <= size &&
                                                  (std::uint64_t{1} << depth) * geometry.paletteEntrySize <=
                                                      size - geometry.palettePosition));
    if (!tableFits || geometry.width < 1 || geometry.height < 1) {
        // Room for one byte only: a failing decode must write nothing at all.
        const std::unique_ptr<std::uint8_t[]> nothing(new std::uint8_t[1]{kUntouched});
        FUZZ_CHECK(bmpDecode(bytes, size, nothing.get(), 0) == 1 && nothing[0] == kUntouched);
        return 0;
    }

    // The row gap varies with the input so that the gap bytes are checked as well.
    const std::size_t rowGap = size % 3 == 0 ? 0 : size % 7;
    const auto rows = static_cast<std::uint64_t>(geometry.height);
    const std::uint64_t rowBytes = std::uint64_t{geometry.width} * 4 + rowGap;
    if (rows * rowBytes > kLargestOutput) {
        return 0;
    }
    // Sized exactly from the header, so a write past the image's rows is a sanitizer finding.
    std::vector<std::uint8_t> output(rows * rowBytes, kUntouched);
    FUZZ_CHECK(bmpDecode(bytes, size, output.data(), rowGap) == 0);
    for (std::uint64_t row = 0; row < rows; ++row) {
        const std::uint8_t* outRow = output.data() + row * rowBytes;
        for (std::uint32_t x = 0; x < geometry.width; ++x) {
            FUZZ_CHECK(outRow[x * 4 + 3] == 0);
        }
        for (std::size_t gap = 0; gap < rowGap; ++gap) {
            FUZZ_CHECK(outRow[geometry.width * 4 + gap] == kUntouched);
        }
    }
    return 0;
}
