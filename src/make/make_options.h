// animmake's command line: the options, their checks and the help text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace animmake {

enum class Fit { contain, cover, stretch };
enum class Dither { steady, ordered, none, diffusion, search };
enum class OutputMode { create, replace, append };

struct Rgb8 {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

constexpr int kWaitNotGiven = -1;
constexpr std::int64_t kWholeVideo = -1;

// How video inputs are sampled and trimmed.
struct VideoSettings {
    int waitUnitMs = 10;
    // Frames a second as a fraction (--fps); 0 takes the video's own frames.
    std::int64_t fpsNumerator = 0;
    std::int64_t fpsDenominator = 1;
    std::int64_t startMicroseconds = 0;
    std::int64_t durationMicroseconds = kWholeVideo;
    // With a fixed wait byte (--wait, a list's wait) every frame is kept, however short.
    bool fixedWait = false;
};
constexpr int kDefaultWait = 10;

struct MakeOptions {
    std::string streamPath;
    OutputMode outputMode = OutputMode::create;
    bool delta = true;
    int wait = kWaitNotGiven;  // 0..255 when given
    int waitUnitMs = 10;
    VideoSettings video;  // waitUnitMs and fixedWait are set from the fields above when a run starts
    Fit fit = Fit::contain;
    Rgb8 background;
    Dither dither = Dither::search;
    std::string framesDir;
    std::uint64_t maxPixels = 100'000'000;
    bool quiet = false;
    bool verbose = false;  // a library's own text after a failure's plain line
    std::vector<std::string> inputs;
};

enum class OptionsResult { run, help, version, usageError };

// The whole command line, program name first (getopt_long may reorder `argv` to put the inputs last). On a
// usage error `error` holds the one-line reason.
OptionsResult parseMakeOptions(int argc, char** argv, MakeOptions& options, std::string& error);

std::string helpText();
std::string versionText();

}  // namespace animmake
