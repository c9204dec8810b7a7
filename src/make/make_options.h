// animmake's command line: the options, their checks and the help text.
#pragma once

#include <string>
#include <vector>

#include "make/dither/frame_dither.h"
#include "make/inputs/source_settings.h"
#include "make/output/stream_output.h"

namespace animmake {

constexpr int kWaitNotGiven = -1;
constexpr int kDefaultWait = 10;

struct MakeOptions {
    std::string streamPath;
    OutputMode outputMode = OutputMode::create;
    bool delta = true;
    int wait = kWaitNotGiven;       // 0..255 when given
    inputs::SourceSettings source;  // --fit, --background, --max-pixels, --wait-unit and the videos' options
    Dither dither = Dither::ordered;
    std::string framesDir;
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
