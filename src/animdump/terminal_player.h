// Playing a stream on a 256-colour terminal: the frames at their own timing, looping until the user quits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "stream/stream_reader.h"

namespace animdump {

// A frame needs 190 columns and 85 lines (two pixel rows a line).
constexpr int kPlayColumns = animconv::kFrameWidth;
constexpr int kPlayLines = animconv::kFrameHeight / 2;

// Whether this build has the player (a POSIX terminal) at all.
bool playerBuiltIn();

// Whether standard output is a terminal of at least kPlayColumns x kPlayLines; if not, `error` says why.
bool terminalCanPlay(std::string& error);

// Plays the first `frames` frames of `stream`, all valid, in a loop: each frame stays for its wait byte x
// `delayScale` / 1000 hundredths of a second (the GIF preview's delay), at least one hundredth. Only the
// character cells that change are redrawn. Keys are read from standard input when it is a terminal.
// Ends on q, restoring the terminal (alternate screen, cursor, colours, input mode), and returns true; on
// SIGINT, SIGTERM or SIGHUP it restores the terminal and ends the process by that signal. Returns false with
// `error` set when the terminal cannot be written.
bool playStream(animconv::StreamView stream, std::size_t frames, std::uint32_t delayScale,
                std::string& error);

}  // namespace animdump
