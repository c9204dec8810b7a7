// A decoded frame on a 256-colour terminal.
#pragma once

#include <cstdint>
#include <string>

#include "stream/stream_reader.h"

namespace animdump {

// Each character cell shows two pixel rows: the upper as the foreground of this character (U+2580, UTF-8),
// the lower as its background.
inline constexpr const char* kUpperHalfBlock = "\xE2\x96\x80";

// The 256-colour terminal's colour number (16..231) for a colour cube index.
int terminalColour(std::uint8_t index);

// The frame drawn for a 256-colour terminal: each character shows two pixel rows, the upper one as the
// foreground of an upper half block and the lower one as its background. UTF-8, with escape sequences.
std::string terminalPicture(const animconv::FrameIndices& frame);

}  // namespace animdump
