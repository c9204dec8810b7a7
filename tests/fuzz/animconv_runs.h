// Helpers for the tests that run the animconv binary as a process: inputs, runs, expected console bytes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace runs {

using Bytes = std::vector<std::uint8_t>;

struct Outcome {
    int status = -1000;  // exit status 0..255, or -1000 when the process did not exit normally
    std::string console;
};

// Starts `program` with `arguments` (argument 0 excluded), its standard output going to `consolePath`, the
// extra environment entries ("NAME=value") added to the test's own, and the size of the files it writes
// limited to `fileSizeLimit` bytes unless that is 0.
pid_t start(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& consolePath, const std::vector<std::string>& environment = {},
            std::uint64_t fileSizeLimit = 0);
Outcome finish(pid_t process, const std::string& consolePath);
Outcome run(const std::string& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& environment = {}, std::uint64_t fileSizeLimit = 0);

Bytes readAll(const std::filesystem::path& path);
void writeAll(const std::filesystem::path& path, const Bytes& bytes);

// A 190x170 24-bit image whose neighbouring pixels differ, so every run is 1 pixel long (a 64,602-byte
// frame), varied by `seed`.
Bytes noisyFrame(unsigned seed);

// Console bytes of the converter's messages.
std::string converting(const std::string& inputPath);
std::string done();
std::string lineMessage(std::string_view text);

// A fresh folder for one test, removed with it.
struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder();
    ~ScratchFolder();
};

}  // namespace runs
