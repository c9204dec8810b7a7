// The animdump command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace animdump {

struct DumpOptions {
    const char* streamPath = nullptr;
    const char* gifPath = nullptr;    // --gif
    const char* pngFolder = nullptr;  // --png
    std::uint32_t delayScale = 1000;  // --delay-scale, in thousandths
    std::size_t showFrame = 0;        // --show, counted from 1; 0 for none
    bool play = false;                // --play
};

enum class OptionsResult { run, help, version, usageError };

// Reads the command line with getopt_long. Options may come before and after FILE; "--" ends them; long
// names are taken whole. On usageError `error` holds the one-line reason.
OptionsResult parseDumpOptions(int argc, char** argv, DumpOptions& options, std::string& error);

// The texts of --help and --version.
std::string helpText();
std::string versionText();

}  // namespace animdump
