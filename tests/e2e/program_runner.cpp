#include "program_runner.h"

#include <cstdio>
#include <cstdlib>

#include "posix_runner.h"

namespace e2e {

std::string programPath() {
    const char* configured = std::getenv("ANIMCONV_PROGRAM");
    if (configured != nullptr && *configured != '\0') {
        return configured;
    }
    return ANIMCONV_BUILT_PROGRAM;
}

// A second way of starting the program (for example a Windows build under a launcher) is chosen here.
const ProgramRunner& activeRunner() {
    static const PosixRunner runner(programPath());
    return runner;
}

::testing::AssertionResult endedWith(const ProgramRun& run, int toolStatus) {
    if (!run.started || !run.exited) {
        return ::testing::AssertionFailure() << "the program did not run to its exit: " << run.problem;
    }
    const std::uint32_t expected = activeRunner().statusAsSeen(toolStatus);
    if (run.status != expected) {
        return ::testing::AssertionFailure() << "exit status " << run.status << ", expected " << expected
                                             << " (the tool's " << toolStatus << ")";
    }
    if (!run.errors.empty()) {
        return ::testing::AssertionFailure() << "standard error is not empty: \"" << run.errors << "\"";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace e2e
