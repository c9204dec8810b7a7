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

std::uint8_t cubeIndexOfPixel(const std::uint8_t* pixel) {
    return static_cast<std::uint8_t>(kCubeTables.blue[pixel[0]] + kCubeTables.green[pixel[1]] +
                                     kCubeTables.red[pixel[2]]);
}

// Blue, green and red of a 4-byte pixel, compared in one go. The decoder writes 0 into every fourth byte, so
// the mask changes nothing for decoded frames; it keeps a caller's own frame bytes from mattering.
constexpr std::uint32_t kColourMask = 0x00FFFFFF;

std::uint32_t pixelWord(const std::uint8_t* pixel) {
    std::uint32_t word;
    std::memcpy(&word, pixel, sizeof word);
    return word;
}

bool sameColour(const std::uint8_t* pixel, const std::uint8_t* before) {
    return ((pixelWord(pixel) ^ pixelWord(before)) & kColourMask) == 0;
}

}  // namespace

std::uint8_t quantizePixel(const FrameBuffer& frame, int x, int y) {
    const std::size_t offset = (static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x)) * kPixelBytes;
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
    std::uint8_t* record = output.bytes + output.length;
    record[0] = value;
    if (count <= kLongestShortRun) {
        record[1] = static_cast<std::uint8_t>(kShortRunFlag | count);
        output.length += kShortRunRecordBytes;
    } else {
        record[1] = static_cast<std::uint8_t>((count >> 8) & 0x7F);
        record[2] = static_cast<std::uint8_t>(count & 0xFF);
        output.length += kLongRunRecordBytes;
    }
}

void encodeFrame(const FrameBuffer& frame, std::uint8_t waitByte, EncodedFrame& output) {
    output.length = 0;
    std::uint8_t current = quantizePixel(frame, 0, 0);
    std::uint16_t count = 0;
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            const std::uint8_t value = quantizePixel(frame, x, y);
            if (value == current) {
                ++count;
            } else {
                writeRun(output, current, count);
                current = value;
                count = 1;
            }
        }
    }
    writeRun(output, current, count);
    output.bytes[output.length] = kTerminatorMarker;
    output.bytes[output.length + 1] = waitByte;
    output.length += kTerminatorBytes;
}

void rememberFrame(const FrameBuffer& frame) {
    std::memcpy(previousFrame.pixels, frame.pixels, kFrameBytes);
    havePreviousFrame = true;
}

}  // namespace animconv
