// animstudio's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace animstudio {

struct StudioOptions {
    int port = 0;
    bool openBrowser = true;
    std::uint64_t maxUploadMiB = 2048;
    int idleExitSeconds = 120;
    bool quiet = false;
    std::vector<std::string> files;
};

enum class StudioParse { run, help, version, usageError };

// The whole command line, program name first. On a usage error `error` holds the one-line reason.
StudioParse parseStudioOptions(int argc, char** argv, StudioOptions& options, std::string& error);

std::string studioHelpText();
std::string studioVersionText();

}  // namespace animstudio
