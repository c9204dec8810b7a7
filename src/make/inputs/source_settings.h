// How inputs become frames: the fit, the colour behind them, the size refused, how videos are sampled. Set
// from the command line (make_options.h) and read by the sources.
#pragma once

#include <cstdint>
#include <functional>

namespace animmake::inputs {

enum class Fit { contain, cover, stretch };

struct Rgb8 {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

constexpr std::int64_t kWholeVideo = -1;

// How video inputs are sampled and trimmed.
struct VideoSettings {
    int waitUnitMs = 10;
    // Frames a second as a fraction (--fps); 0 takes the video's own frames.
    std::int64_t fpsNumerator = 0;
    std::int64_t fpsDenominator = 1;
    std::int64_t startMicroseconds = 0;
    std::int64_t durationMicroseconds = kWholeVideo;
    // With a fixed wait byte (--wait, a list's), which replaces the frames' own waits, every frame is kept,
    // however short.
    bool keepEveryFrame = false;
};

struct SourceSettings {
    Fit fit = Fit::contain;
    Rgb8 background;
    std::uint64_t maxPixels = 100'000'000;
    VideoSettings video;
    // Called by a video before it opens its decoder; false stops the input. The pipeline lets one video
    // at a time hold a decoder (a 1080p decoder's frames take tens of MiB); unset, videos never wait.
    std::function<bool()> awaitVideoTurn;
};

}  // namespace animmake::inputs
