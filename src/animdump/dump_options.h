// The animdump command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "toolkit/option_table.h"

namespace animdump {

struct DumpOptions {
    const char* streamPath = nullptr;
    const char* gifPath = nullptr;    // --gif
    const char* pngFolder = nullptr;  // --png
    std::uint32_t delayScale = 1000;  // --delay-scale, in thousandths
    std::size_t showFrame = 0;        // --show, counted from 1; 0 for none
    bool play = false;                // --play
};

using animconv::OptionsResult;

// Reads the command line by the tools' one option loop (toolkit/option_table.h). On usageError `error`
// holds the one-line reason.
OptionsResult parseDumpOptions(int argc, char** argv, DumpOptions& options, std::string& error);

// The texts of --help and --version.
std::string helpText();
std::string versionText();

}  // namespace animdump
