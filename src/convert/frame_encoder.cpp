#include "convert/frame_encoder.h"

#include <cstring>

namespace animconv {

bool deltaMode = false;
FrameBuffer previousFrame{};
bool havePreviousFrame = false;

namespace {

// Each component's share of the cube index, by component value: blue carries the first index as well.
struct CubeTables {
    std::uint8_t blue[256];
    std::uint8_t green[256];
    std::uint8_t red[256];
};

constexpr CubeTables makeCubeTables() {
    CubeTables tables{};
    for (int value = 0; value < 256; ++value) {
        const std::uint8_t level = cubeLevel(static_cast<std::uint8_t>(value));
        tables.blue[value] = static_cast<std::uint8_t>(kFirstCubeIndex + 36 * level);
        tables.green[value] = static_cast<std::uint8_t>(6 * level);
        tables.red[value] = level;
    }
    return tables;
}

constexpr CubeTables kCubeTables = makeCubeTables();

// Byte loads: taking the components out of one word load measured slower.
std::uint8_t cubeIndexOfPixel(const std::uint8_t* pixel) {
    return static_cast<std::uint8_t>(kCubeTables.blue[pixel[0]] + kCubeTables.green[pixel[1]] +
                                     kCubeTables.red[pixel[2]]);
}

std::uint32_t pixelWord(const std::uint8_t* pixel) {
    std::uint32_t word;
    std::memcpy(&word, pixel, sizeof word);
    return word;
}

constexpr std::uint32_t kColourMask = 0x00FFFFFF;  // the first three bytes, whichever the byte order

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

// What the quantizer gives, with the mode settled once per frame instead of once per pixel.
template <bool kDelta>
std::uint8_t pixelValue(const std::uint8_t* pixel, const std::uint8_t* before) {
    const std::uint8_t index = cubeIndexOfPixel(pixel);
    if constexpr (kDelta) {
        return sameColour(pixel, before) ? kUnchangedMarker : index;
    }
    return index;
}

// One pass over the frame: each pixel's value either extends the current run or closes it. The first pixel
// opens the first run through the zero count (this loop shape measured faster than starting from pixel 0's
// value, as the plain steps describe it; the records are the same).
template <bool kDelta>
std::uint8_t* appendRuns(const FrameBuffer& frame, std::uint8_t* at) {
    const std::uint8_t* pixel = frame.pixels;
    const std::uint8_t* before = previousFrame.pixels;
    std::uint8_t current = 0;
    std::uint16_t count = 0;
    for (std::size_t i = 0; i < kFramePixels; ++i, pixel += kPixelBytes, before += kPixelBytes) {
        const std::uint8_t value = pixelValue<kDelta>(pixel, before);
        if (value == current || count == 0) {
            ++count;
        } else {
            at = appendRun(at, current, count);
            count = 1;
        }
        current = value;
    }
    return appendRun(at, current, count);
}

}  // namespace

std::uint8_t quantizePixel(const FrameBuffer& frame, int x, int y) {
    const std::size_t offset =
        (static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x)) * kPixelBytes;
    const std::uint8_t* pixel = frame.pixels + offset;
    if (deltaMode && havePreviousFrame) {
        // Colours are compared, not indices: a small change within one cube cell still writes its index.
        const std::uint8_t* before = previousFrame.pixels + offset;
        if (sameColour(pixel, before)) {
            return kUnchangedMarker;
        }
    }
    return cubeIndexOfPixel(pixel);
}

void writeRun(EncodedFrame& output, std::uint8_t value, std::uint16_t count) {
    output.length =
        static_cast<std::size_t>(appendRun(output.bytes + output.length, value, count) - output.bytes);
}

void encodeFrame(const FrameBuffer& frame, std::uint8_t waitByte, EncodedFrame& output) {
    // The write position stays in a register: stores through byte pointers could otherwise alias it.
    std::uint8_t* at = (deltaMode && havePreviousFrame) ? appendRuns<true>(frame, output.bytes)
                                                        : appendRuns<false>(frame, output.bytes);
    at[0] = kTerminatorMarker;
    at[1] = waitByte;
    output.length = static_cast<std::size_t>(at + kTerminatorBytes - output.bytes);
}

void rememberFrame(const FrameBuffer& frame) {
    std::memcpy(previousFrame.pixels, frame.pixels, kFrameBytes);
    havePreviousFrame = true;
}

}  // namespace animconv
