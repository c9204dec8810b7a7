// animmake's command line: the options, their checks and the help text.
#pragma once

#include <string>
#include <vector>

#include "make/dither/frame_dither.h"
#include "make/inputs/source_settings.h"
#include "make/output/output_mode.h"
#include "toolkit/option_table.h"

namespace animmake {

constexpr int kWaitNotGiven = -1;
constexpr int kDefaultWait = 10;

struct MakeOptions {
    std::string streamPath;
    output::OutputMode outputMode = output::OutputMode::create;
    bool delta = true;
    int wait = kWaitNotGiven;       // 0..255 when given
    inputs::SourceSettings source;  // --fit, --background, --max-pixels, --wait-unit and the videos' options
    dither::Dither dither = dither::Dither::ordered;
    std::string framesDir;
    bool quiet = false;
    bool verbose = false;  // a library's own text after a failure's plain line
    std::vector<std::string> inputs;
};

using animconv::OptionsResult;

// The whole command line, program name first, read by the tools' one option loop (toolkit/option_table.h).
// On a usage error `error` holds the one-line reason.
OptionsResult parseMakeOptions(int argc, char** argv, MakeOptions& options, std::string& error);

std::string helpText();
std::string helpText(bool readsVideo);  // the help of a build that reads video, or of one that does not
std::string versionText();

}  // namespace animmake
