// One input file turned into fitted 190x170 frames: a BMP that animconv accepts through the project's own
// reader, anything else through libvips (shrink-on-load, ICC to sRGB, alpha flattened, fitted).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "convert/frame_encoder.h"
#include "make/make_options.h"

namespace animmake {

struct FitSettings {
    Fit fit = Fit::contain;
    Rgb8 background;
    std::uint64_t maxPixels = 0;
};

constexpr int kNoDelay = -1;

// Receives each frame in order with its own delay in milliseconds (kNoDelay for a still). Returning false
// stops the input early.
using FrameSink = std::function<bool(std::unique_ptr<animconv::FrameBuffer> frame, int delayMs)>;

// Why an input cannot be used: a plain reason (one line, without the input's name) and, when a library
// gave one, the library's own text for --verbose.
struct LoadFailure {
    std::string reason;
    std::string libraryText;
};

// Returns false with `failure` filled when the input cannot be used.
bool loadFrames(const std::string& path, const FitSettings& settings, const FrameSink& sink,
                LoadFailure& failure);

// A library's error text in plain words: "the file ends early", "not an image or video file", ...
std::string plainReason(const std::string& libraryText);

// Once per process, before the first load: small operation cache, one libvips thread per pipeline.
void configureImageLibrary();

}  // namespace animmake
