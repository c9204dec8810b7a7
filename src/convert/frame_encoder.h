// Turning one decoded frame into its stream bytes, and the state carried from frame to frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/stream_format.h"

namespace animconv {

constexpr std::size_t kPixelBytes = 4;  // blue, green, red, 0
constexpr std::size_t kFrameBytes = kFramePixels * kPixelBytes;

// One decoded frame, top row first, rows contiguous, as the BMP decoder writes it with no row gap.
struct FrameBuffer {
    std::uint8_t pixels[kFrameBytes];
};

// A whole frame's stream bytes, gathered so that the frame reaches the file with one write or not at all.
struct EncodedFrame {
    std::uint8_t bytes[kMaxFrameBytes];
    std::size_t length = 0;
};

// Process-wide: set before the first frame, then read by the quantizer.
extern bool deltaMode;
extern FrameBuffer previousFrame;
extern bool havePreviousFrame;

// Back to the state a process starts in: plain mode, no previous frame. For tests and tools that encode
// more than one sequence in one process.
void resetFrameState();

// The colour cube index of pixel (x, y), or the unchanged marker where delta mode finds the pixel's colour
// equal to the previous frame's. The frame path (encodeFrame) uses a faster whole-frame version.
std::uint8_t quantizePixel(const FrameBuffer& frame, int x, int y);

// Appends one run record: the short form for 1..127 pixels, the long form for 128..32,300. The frame path
// (encodeFrame) uses a faster whole-frame version.
void writeRun(EncodedFrame& output, std::uint8_t value, std::uint16_t count);

// The run records of `frame` in scan order, then the terminator carrying `waitByte`.
void encodeFrame(const FrameBuffer& frame, std::uint8_t waitByte, EncodedFrame& output);

// Makes `frame` the previous frame for the next call of the quantizer.
void rememberFrame(const FrameBuffer& frame);

}  // namespace animconv
