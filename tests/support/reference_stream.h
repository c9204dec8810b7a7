// A second, deliberately plain encoder of the animation stream, used to know what the tool must append.
// It works on the colours a test put into its images, so it shares nothing with the decoder or converter.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "bmp_writer.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;
using bmpwriter::Bgr;

constexpr std::uint32_t kWidth = 190;
constexpr std::uint32_t kHeight = 170;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

// The colours of one 190x170 frame, top row first, each row left to right.
using Picture = std::vector<Bgr>;

enum class Mode { plain, delta };  // "no0xfe", "use0xfe"

// 16 + 36 x level(blue) + 6 x level(green) + level(red), a level being the component divided by 51.
std::uint8_t cubeIndexOf(const Bgr& colour);

// What one run of the tool appends: frames in order, the first one of the run never holding 0xFE.
class ReferenceStream {
  public:
    explicit ReferenceStream(Mode mode) : mode_(mode) {}

    // The bytes of the next frame: run records of equal values in scan order, 0xFF, the wait byte.
    Bytes nextFrame(const Picture& picture, std::uint8_t waitByte);

  private:
    Mode mode_;
    std::optional<Picture> previous_;
};

// One run's frames of (picture, wait byte) as they are appended.
Bytes referenceRun(Mode mode, const std::vector<std::pair<Picture, std::uint8_t>>& frames);

}  // namespace testsupport
