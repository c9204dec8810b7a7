// The Windows way of starting the program: animconv.exe under wine, started by our launcher
// (tests/win32/launcher.exe) with CreateProcessA and one raw command-line string, so that the program's
// own splitting takes the string apart. The exit status is seen whole (0xFFFFFFFF for -1).
#pragma once

#include <string>

#include "program_runner.h"

namespace e2e {

class LauncherRunner final : public ProgramRunner {
  public:
    // `wineRun` starts a Windows program under wine (tools/win32/wine-run.sh).
    LauncherRunner(std::string wineRun, std::string launcher, std::string program)
        : wineRun_(std::move(wineRun)), launcher_(std::move(launcher)), program_(std::move(program)) {}

    // Every argument quoted, one space apart; see rawCommandLine.
    ProgramRun run(const std::vector<std::string>& arguments, const std::string& folder) const override;
    ProgramRun runCommandLine(const std::string& line, const std::vector<std::string>& split,
                              const std::string& folder) const override;
    std::string argumentZero() const override { return "animconv.exe"; }
    StatusWidth statusWidth() const override { return StatusWidth::full32Bits; }
    bool takesAnyFileName() const override { return false; }
    std::string nameOnDisk(const std::string& name) const override;
    bool carriesArguments(const std::vector<std::string>& arguments) const override;

  private:
    std::string wineRun_;
    std::string launcher_;
    std::string program_;
};

}  // namespace e2e
