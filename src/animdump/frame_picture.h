// What a decoded frame looks like: colour cube indices turned into colours, and a terminal drawing.
#pragma once

#include <cstdint>
#include <string>

#include "animdump/stream_reader.h"

namespace animdump {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// Each level of the index stands for level x 51: the colour every source pixel of that index was
// quantized to.
Rgb cubeColour(std::uint8_t index);

// Each character cell shows two pixel rows: the upper as the foreground of this character (U+2580, UTF-8),
// the lower as its background.
inline constexpr const char* kUpperHalfBlock = "\xE2\x96\x80";

// The 256-colour terminal's colour number (16..231) for a colour cube index.
int terminalColour(std::uint8_t index);

// The frame drawn for a 256-colour terminal: each character shows two pixel rows, the upper one as the
// foreground of an upper half block and the lower one as its background. UTF-8, with escape sequences.
std::string terminalPicture(const FrameIndices& frame);

}  // namespace animdump
