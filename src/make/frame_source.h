// One input file turned into fitted 190x170 frames: a BMP that animconv accepts through the project's own
// reader, an animation stream through stream_source.h, a video through video_source.h, anything else
// through libvips (shrink-on-load, ICC to sRGB, alpha flattened, fitted).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "convert/frame_encoder.h"
#include "make/source_settings.h"

namespace animmake {

constexpr int kNoDelay = -1;

struct SourceFrame {
    std::unique_ptr<animconv::FrameBuffer> pixels;
    int delayMs = kNoDelay;       // the frame's own delay; kNoDelay for a still
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

// Returns false with `failure` filled when the input cannot be used; true with `notice` set when it was
// used only in part.
bool loadFrames(const std::string& path, const SourceSettings& settings, const FrameSink& sink,
                LoadFailure& failure, std::string& notice);

// A library's error text in plain words: "the file ends early", "corrupt image data", ...
std::string plainReason(const std::string& libraryText);

}  // namespace animmake
