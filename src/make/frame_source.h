// One input file turned into fitted 190x170 frames: a BMP that animconv accepts through the project's own
// reader, a video through video_source.h, anything else through libvips (shrink-on-load, ICC to sRGB, alpha
// flattened, fitted).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "convert/frame_encoder.h"
#include "make/make_options.h"

namespace animmake {

struct SourceSettings {
    Fit fit = Fit::contain;
    Rgb8 background;
    std::uint64_t maxPixels = 0;
    VideoSettings video;
    // Called by a video before it opens its decoder; false stops the input. The pipeline lets one video
    // at a time hold a decoder (a 1080p decoder's frames take tens of MiB); unset, videos never wait.
    std::function<bool()> awaitVideoTurn;
};

constexpr int kNoDelay = -1;

struct SourceFrame {
    std::unique_ptr<animconv::FrameBuffer> pixels;
    int delayMs = kNoDelay;       // the frame's own delay; kNoDelay for a still
    std::size_t inputFrames = 0;  // the frames this input is expected to give, when known; else 0
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

// A library's error text in plain words: "the file ends early", "not an image or video file", ...
std::string plainReason(const std::string& libraryText);

// Once per process, before the first load: small operation cache, one libvips thread per pipeline.
void configureImageLibrary();

}  // namespace animmake
