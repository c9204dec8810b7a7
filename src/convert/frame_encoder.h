// Turning one decoded frame into its stream bytes; the state carried from frame to frame is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/stream_format.h"

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
    std::size_t unchangedPixels = 0;  // pixels written as the unchanged marker
};

// The pixel values of the frame being encoded, in scan order, with room before and after them for the run
// scan's look-behind and sentinels.
constexpr std::size_t kScratchBefore = 8;
constexpr std::size_t kScratchAfter = 64;

// What the encoder carries from one frame to the next. A caller keeps one per stream it writes; it starts in
// plain mode with no previous frame.
struct EncoderState {
    bool deltaMode = false;
    FrameBuffer previousFrame{};
    bool havePreviousFrame = false;
    std::uint8_t scratch[kScratchBefore + kFramePixels + kScratchAfter];
};

// The colour cube index of pixel (x, y), or the unchanged marker where delta mode finds the pixel's colour
// equal to the previous frame's. The frame path (encodeFrame) uses a faster whole-frame version.
std::uint8_t quantizePixel(const EncoderState& state, const FrameBuffer& frame, int x, int y);

// Appends one run record: the short form for 1..127 pixels, the long form for 128..32,300. The frame path
// (encodeFrame) uses a faster whole-frame version.
void writeRun(EncodedFrame& output, std::uint8_t value, std::uint16_t count);

// The run records of `frame` in scan order, then the terminator carrying `waitByte`, into `output`.
void encodeFrame(EncoderState& state, const FrameBuffer& frame, std::uint8_t waitByte, EncodedFrame& output);

// Makes `frame` the previous frame of the next encodeFrame.
void rememberFrame(EncoderState& state, const FrameBuffer& frame);

}  // namespace animconv
