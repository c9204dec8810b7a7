// What every input source gives: fitted 190x170 frames, one at a time, to a sink, and a plain reason when the
// input cannot be used. The image, video and stream sources each fill these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "convert/frame_encoder.h"
#include "toolkit/translation.h"

namespace animmake::inputs {

constexpr int kNoWait = -1;

struct SourceFrame {
    std::unique_ptr<animconv::FrameBuffer> pixels;
    // The frame's own wait in the run's wait units (a stream's frame may have 0, others at least 1, at most
    // 255); kNoWait for a still.
    int wait = kNoWait;
    std::size_t inputFrames = 0;  // the frames this input is expected to give, when known; else 0
    // A stream input's frame: its pixels are cube colours already, which no dither may move, and its wait
    // may be 0.
    bool fromStream = false;
};

// Receives each frame in order. Returning false stops the input early.
using FrameSink = std::function<bool(SourceFrame frame)>;

// Why an input cannot be used: a plain reason (one line, without the input's name) and, when a library
// gave one, the library's own text for --verbose.
struct LoadFailure {
    std::string reason;
    std::string libraryText;
};

// "1 frame", "12 frames": counts in the messages.
inline std::string framesText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? _(" frame") : _(" frames"));
}

// "the video has 7680x4320 pixels, more than --max-pixels 1000": `subject` is "the image has " or "the
// video has ", translated.
inline std::string tooManyPixelsReason(const std::string& subject, std::uint64_t width, std::uint64_t height,
                                       std::uint64_t maxPixels) {
    return subject + std::to_string(width) + "x" + std::to_string(height) +
           _(" pixels, more than --max-pixels ") + std::to_string(maxPixels);
}

}  // namespace animmake::inputs
