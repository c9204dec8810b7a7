// The POSIX way of starting the program: an argument vector handed over as it is.
#pragma once

#include <optional>
#include <string>

#include "program_runner.h"

namespace e2e {

struct PosixRunOptions : ProcessOptions {
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
                       const PosixRunOptions& options) const {
        std::vector<std::string> all{options.argumentZero.value_or(argumentZero())};
        all.insert(all.end(), arguments.begin(), arguments.end());
        ProgramRun run;
        static_cast<ProcessRun&>(run) = runProcess(program_, all, folder, options);
        run.statusWidth = statusWidth();
        return run;
    }
    std::string argumentZero() const override { return "animconv"; }
    StatusWidth statusWidth() const override { return StatusWidth::low8Bits; }

  private:
    std::string program_;
};

}  // namespace e2e
