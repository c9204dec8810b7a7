// Starting the built animconv as a separate process and collecting what it leaves behind.
// The cases never see how the program is started: they hand over arguments and a folder, and compare what
// comes back. Each way of starting the program (a plain child process here; a launcher that takes one raw
// command-line string elsewhere) is one ProgramRunner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files.h"
#include "pictures.h"
#include "process.h"
#include "reference_stream.h"

namespace e2e {

using namespace testsupport;

// How much of the tool's exit status a launcher sees: only the low 8 bits (POSIX, where -1 shows as 255) or
// the whole 32-bit value (Windows, where -1 shows as 0xFFFFFFFF).
enum class StatusWidth { low8Bits, full32Bits };

// The tool's own status (0, -1 or 1) as a launcher of `width` sees it.
constexpr std::uint32_t statusAsSeen(int toolStatus, StatusWidth width) {
    const auto bits = static_cast<std::uint32_t>(toolStatus);
    return width == StatusWidth::low8Bits ? bits & 0xFFU : bits;
}

// `status` exactly as the launcher observed it.
struct ProgramRun : ProcessRun {
    StatusWidth statusWidth = StatusWidth::low8Bits;  // how `status` was seen
};

class ProgramRunner {
  public:
    virtual ~ProgramRunner() = default;

    // Runs the program with `arguments` after argument 0, in the existing folder `folder` as its working
    // folder, with nothing on standard input.
    virtual ProgramRun run(const std::vector<std::string>& arguments, const std::string& folder) const = 0;

    // Runs the program from the command-line string `line` where this way of starting hands the program
    // one string (Windows), or from `split`, the arguments (argument 0 first) that the splitting rules take
    // `line` apart into, where it hands over an argument vector (POSIX).
    virtual ProgramRun runCommandLine(const std::string& line, const std::vector<std::string>& split,
                                      const std::string& folder) const = 0;

    // Argument 0 as the program receives it, which the usage message repeats.
    virtual std::string argumentZero() const = 0;

    // How much of the exit status this launcher sees; every ProgramRun it returns carries the same.
    virtual StatusWidth statusWidth() const = 0;

    // False where file names cannot hold every byte (a backslash or 0xFF in a Windows name).
    virtual bool takesAnyFileName() const { return true; }

    // The name on this machine's disk of the file that the program opens as `name` (under wine a
    // Shift_JIS name lies on disk in UTF-8).
    virtual std::string nameOnDisk(const std::string& name) const { return name; }

    // False where these arguments cannot reach the program byte for byte: a command-line string crosses
    // CreateProcessA through Unicode, so bytes that are not whole Shift_JIS characters are changed.
    virtual bool carriesArguments(const std::vector<std::string>&) const { return true; }
};

// The runner this test binary was built or configured to use.
const ProgramRunner& activeRunner();

inline ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& folder) {
    return activeRunner().run(arguments, folder);
}

// Passes when the program ran to its own exit with `toolStatus` and wrote nothing to standard error.
::testing::AssertionResult endedWith(const ProgramRun& run, int toolStatus);

// The path of the program under test: ANIMCONV_PROGRAM from the environment, else the one built alongside.
std::string programPath();

}  // namespace e2e
