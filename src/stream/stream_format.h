// The animation stream: a headerless concatenation of frames. A frame is run records covering every pixel
// in scan order (a run may continue from one row into the next), closed by 0xFF and the frame's wait byte.
// A run record is the value V, then 0x80 | N for N = 1..127, or (N >> 8) & 0x7F and N & 0xFF for larger N.
#pragma once

#include <cstddef>
#include <cstdint>

namespace animconv {

constexpr int kFrameWidth = 190;
constexpr int kFrameHeight = 170;
constexpr std::size_t kFramePixels = std::size_t{kFrameWidth} * kFrameHeight;  // 32,300

constexpr std::uint8_t kFirstCubeIndex = 16;
constexpr std::uint8_t kLastCubeIndex = 231;
constexpr std::uint8_t kUnchangedMarker = 0xFE;
constexpr std::uint8_t kTerminatorMarker = 0xFF;

constexpr std::uint8_t kShortRunFlag = 0x80;
constexpr std::uint16_t kLongestShortRun = 127;
constexpr std::size_t kShortRunRecordBytes = 2;
constexpr std::size_t kLongRunRecordBytes = 3;
constexpr std::size_t kTerminatorBytes = 2;

// Every pixel its own run of one, plus the terminator: 64,602 bytes.
constexpr std::size_t kMaxFrameBytes = kFramePixels * kShortRunRecordBytes + kTerminatorBytes;

// One component's level on the 6-step cube axis: 0-50 give 0, ..., 204-254 give 4, only 255 gives 5.
constexpr std::uint8_t cubeLevel(std::uint8_t component) {
    return static_cast<std::uint8_t>(component / 51);
}

// Reading the stream back.
constexpr std::uint8_t kLongRunHighMask = 0x7F;  // byte 1 of a long record holds bits 8..14 of N
constexpr std::uint8_t kCubeStep = 51;           // a level's value on the 0..255 component scale
constexpr std::uint8_t kCubeLevels = 6;

constexpr bool isCubeIndex(std::uint8_t value) {
    return value >= kFirstCubeIndex && value <= kLastCubeIndex;
}

// The three digits of a colour cube index, and the component value each level stands for (level x 51).
constexpr std::uint8_t cubeBlueLevel(std::uint8_t index) {
    return static_cast<std::uint8_t>((index - kFirstCubeIndex) / (kCubeLevels * kCubeLevels));
}
constexpr std::uint8_t cubeGreenLevel(std::uint8_t index) {
    return static_cast<std::uint8_t>((index - kFirstCubeIndex) / kCubeLevels % kCubeLevels);
}
constexpr std::uint8_t cubeRedLevel(std::uint8_t index) {
    return static_cast<std::uint8_t>((index - kFirstCubeIndex) % kCubeLevels);
}
constexpr std::uint8_t cubeLevelValue(std::uint8_t level) {
    return static_cast<std::uint8_t>(level * kCubeStep);
}

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// The colour every source pixel of colour cube index `index` was quantized to.
constexpr Rgb cubeColour(std::uint8_t index) {
    return Rgb{cubeLevelValue(cubeRedLevel(index)), cubeLevelValue(cubeGreenLevel(index)),
               cubeLevelValue(cubeBlueLevel(index))};
}

// The colour cube index of a colour: blue is its most significant digit, red the least.
constexpr std::uint8_t cubeIndexOf(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    return static_cast<std::uint8_t>(kFirstCubeIndex + kCubeLevels * kCubeLevels * cubeLevel(blue) +
                                     kCubeLevels * cubeLevel(green) + cubeLevel(red));
}

}  // namespace animconv
