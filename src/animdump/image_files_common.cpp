// What both image writers share (giflib/libpng on Linux, libvips on Windows): the GIF delay of a wait byte
// and the names of the PNG files.
#include <cstdio>

#include "animdump/image_files.h"

namespace animdump {
namespace {

constexpr std::uint32_t kDelayScaleUnit = 1000;
constexpr std::uint32_t kLongestGifDelay = 0xFFFF;

}  // namespace

std::uint16_t gifDelay(std::uint8_t waitByte, std::uint32_t scaleThousandths) {
    const std::uint64_t scaled =
        (std::uint64_t{waitByte} * scaleThousandths + kDelayScaleUnit / 2) / kDelayScaleUnit;
    return static_cast<std::uint16_t>(scaled < kLongestGifDelay ? scaled : kLongestGifDelay);
}

std::string pngName(std::size_t frameNumber) {
    char name[40];
    std::snprintf(name, sizeof name, "frame-%04zu.png", frameNumber);
    return name;
}

}  // namespace animdump
