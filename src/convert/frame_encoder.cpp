#include "convert/frame_encoder.h"

#include <bit>
#include <cstring>

namespace animconv {

namespace {

// A component's cube level by multiply and shift: equal to component / 51 for all 256 values (checked
// below at compile time). In 16-bit arithmetic it lets the compiler quantize many pixels per instruction,
// which a table lookup does not (measured: 9 us a frame against 19 us with three 256-entry tables).
constexpr std::uint16_t fastCubeLevel(std::uint16_t component) {
    return static_cast<std::uint16_t>((std::uint32_t{component} * 1286U) >> 16);
}

constexpr bool fastCubeLevelIsExact() {
    for (unsigned value = 0; value < 256; ++value) {
        if (fastCubeLevel(static_cast<std::uint16_t>(value)) != cubeLevel(static_cast<std::uint8_t>(value))) {
            return false;
        }
    }
    return true;
}
static_assert(fastCubeLevelIsExact());

// cubeIndexOf of stream_format.h, in the 16-bit arithmetic that vectorizes.
std::uint8_t fastCubeIndexOf(std::uint16_t blue, std::uint16_t green, std::uint16_t red) {
    return static_cast<std::uint8_t>(kFirstCubeIndex + 36 * fastCubeLevel(blue) + 6 * fastCubeLevel(green) +
                                     fastCubeLevel(red));
}

std::uint32_t pixelWord(const std::uint8_t* pixel) {
    std::uint32_t word;
    std::memcpy(&word, pixel, sizeof word);
    return word;
}

// Blue, green and red: the first three bytes of a pixel, read as a word on either byte order.
constexpr std::uint32_t kColourMask = std::endian::native == std::endian::little ? 0x00FFFFFFU : 0xFFFFFF00U;

// Blue, green and red of a 4-byte pixel, compared in one go. The decoder writes 0 into every fourth byte, so
// the mask changes nothing for decoded frames; it keeps a caller's own frame bytes from mattering.
bool sameColour(const std::uint8_t* pixel, const std::uint8_t* before) {
    return ((pixelWord(pixel) ^ pixelWord(before)) & kColourMask) == 0;
}

// One run record at `at`; returns the position after it.
std::uint8_t* appendRun(std::uint8_t* at, std::uint8_t value, std::uint16_t count) {
    at[0] = value;
    if (count <= kLongestShortRun) {
        at[1] = static_cast<std::uint8_t>(kShortRunFlag | count);
        return at + kShortRunRecordBytes;
    }
    at[1] = static_cast<std::uint8_t>((count >> 8) & 0x7F);
    at[2] = static_cast<std::uint8_t>(count & 0xFF);
    return at + kLongRunRecordBytes;
}

// The scratch holds the pixel values with one byte in front and a block of sentinel bytes behind. The byte
// in front repeats the first value and the sentinels equal no value, so the run boundaries are exactly where
// a value differs from the one before it, the last one at the frame's end.
constexpr std::size_t kBoundaryBlock = kScratchAfter;
static_assert(kScratchBefore >= 8, "the scan's 8-byte loads at value -1 stay inside the scratch");

// Returns the number of unchanged markers written.
template <bool kDelta>
std::size_t quantizeFrame(const std::uint8_t* __restrict pixels, const std::uint8_t* __restrict before,
                          std::uint8_t* __restrict values) {
    std::size_t unchanged = 0;
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        const std::uint8_t* pixel = pixels + i * kPixelBytes;
        const std::uint8_t index = fastCubeIndexOf(pixel[0], pixel[1], pixel[2]);
        if constexpr (kDelta) {
            const bool same = sameColour(pixel, before + i * kPixelBytes);
            values[i] = same ? kUnchangedMarker : index;
            unchanged += same ? 1 : 0;
        } else {
            values[i] = index;
        }
    }
    return unchanged;
}

// One bit per value of an 8-value group: set where the value differs from the one before it.
std::uint64_t boundaryBitsOfEight(const std::uint8_t* values) {
    std::uint64_t here;
    std::uint64_t before;
    std::memcpy(&here, values, sizeof here);
    std::memcpy(&before, values - 1, sizeof before);
    const std::uint64_t difference = here ^ before;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
    // Bit 7 of each byte: set when that byte of the difference is not zero.
    const std::uint64_t nonZero = (((difference & kLow7) + kLow7) | difference) & ~kLow7;
    // Gathers the eight flags into the top byte, in the order of the values in memory.
    if constexpr (std::endian::native == std::endian::little) {
        return ((nonZero >> 7) * std::uint64_t{0x0102040810204080}) >> 56;
    } else {
        return ((nonZero >> 7) * std::uint64_t{0x8040201008040201}) >> 56;
    }
}

// A boundary before every value of a block. The frame's end never falls in such a block: the sentinels after
// it equal each other.
constexpr std::uint64_t kEveryValueStartsARun = ~std::uint64_t{0};

// `count` runs of one pixel each: value, then the short form of 1.
std::uint8_t* appendSingleRuns(std::uint8_t* __restrict at, const std::uint8_t* __restrict values,
                               std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        at[2 * i] = values[i];
        at[2 * i + 1] = kShortRunFlag | 1;
    }
    return at + 2 * count;
}

// Each run ends where the next begins: the boundaries are found 64 values at a time and walked by their
// lowest set bit, so the run scan takes no branch per value.
std::uint8_t* appendRuns(std::uint8_t* pixelValues, std::uint8_t* at) {
    pixelValues[-1] = pixelValues[0];
    std::memset(pixelValues + kFramePixels, kTerminatorMarker, kBoundaryBlock);
    std::size_t runStart = 0;
    for (std::size_t block = 0;; block += kBoundaryBlock) {
        std::uint64_t boundaries = 0;
        for (std::size_t group = 0; group < kBoundaryBlock; group += 8) {
            boundaries |= boundaryBitsOfEight(pixelValues + block + group) << group;
        }
        if (boundaries == kEveryValueStartsARun) {
            // Noisy content: close the open run, then write the block's single-value runs in one go.
            at = appendRun(at, pixelValues[runStart], static_cast<std::uint16_t>(block - runStart));
            at = appendSingleRuns(at, pixelValues + block, kBoundaryBlock - 1);
            runStart = block + kBoundaryBlock - 1;
            continue;
        }
        while (boundaries != 0) {
            const std::size_t boundary = block + static_cast<std::size_t>(std::countr_zero(boundaries));
            boundaries &= boundaries - 1;
            at = appendRun(at, pixelValues[runStart], static_cast<std::uint16_t>(boundary - runStart));
            if (boundary == kFramePixels) {
                return at;
            }
            runStart = boundary;
        }
    }
}

}  // namespace

std::uint8_t quantizePixel(const EncoderState& state, const FrameBuffer& frame, int x, int y) {
    const std::size_t offset =
        (static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x)) * kPixelBytes;
    const std::uint8_t* pixel = frame.pixels + offset;
    if (state.deltaMode && state.havePreviousFrame) {
        // Colours are compared, not indices: a small change within one cube cell still writes its index.
        const std::uint8_t* before = state.previousFrame.pixels + offset;
        if (sameColour(pixel, before)) {
            return kUnchangedMarker;
        }
    }
    return fastCubeIndexOf(pixel[0], pixel[1], pixel[2]);
}

void writeRun(EncodedFrame& output, std::uint8_t value, std::uint16_t count) {
    output.length =
        static_cast<std::size_t>(appendRun(output.bytes + output.length, value, count) - output.bytes);
}

void encodeFrame(EncoderState& state, const FrameBuffer& frame, std::uint8_t waitByte, EncodedFrame& output) {
    std::uint8_t* values = state.scratch + kScratchBefore;
    output.unchangedPixels = state.deltaMode && state.havePreviousFrame
                                 ? quantizeFrame<true>(frame.pixels, state.previousFrame.pixels, values)
                                 : quantizeFrame<false>(frame.pixels, state.previousFrame.pixels, values);
    std::uint8_t* at = appendRuns(values, output.bytes);
    at[0] = kTerminatorMarker;
    at[1] = waitByte;
    output.length = static_cast<std::size_t>(at + kTerminatorBytes - output.bytes);
}

void rememberFrame(EncoderState& state, const FrameBuffer& frame) {
    std::memcpy(state.previousFrame.pixels, frame.pixels, kFrameBytes);
    state.havePreviousFrame = true;
}

}  // namespace animconv
