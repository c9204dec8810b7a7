// The POSIX way of starting the program: fork and exec with an argument vector, no shell in between.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "program_runner.h"

namespace e2e {

enum class StandardOutput {
    pipe,        // captured through a pipe
    records,     // a packet socket: each write request arrives whole and apart (ProgramRun::outputWrites)
    deviceFull,  // /dev/full: every console write fails
    closed,      // descriptor 1 closed
};

struct PosixRunOptions {
    StandardOutput standardOutput = StandardOutput::pipe;
    // A file size limit for the child (RLIMIT_FSIZE), with SIGXFSZ ignored so that a write past it comes
    // back short or failed instead of killing the process.
    std::optional<std::uint64_t> fileSizeLimit;
    // Argument 0 to hand over instead of the usual one.
    std::optional<std::string> argumentZero;
};

class PosixRunner final : public ProgramRunner {
  public:
    explicit PosixRunner(std::string program) : program_(std::move(program)) {}

    ProgramRun run(const std::vector<std::string>& arguments, const std::string& folder) const override {
        return runWith(arguments, folder, {});
    }
    ProgramRun runCommandLine(const std::string&, const std::vector<std::string>& split,
                              const std::string& folder) const override {
        PosixRunOptions options;
        options.argumentZero = split.at(0);
        return runWith({split.begin() + 1, split.end()}, folder, options);
    }
    ProgramRun runWith(const std::vector<std::string>& arguments, const std::string& folder,
                       const PosixRunOptions& options) const;
    std::string argumentZero() const override { return "animconv"; }
    StatusWidth statusWidth() const override { return StatusWidth::low8Bits; }

  private:
    std::string program_;
};

}  // namespace e2e
