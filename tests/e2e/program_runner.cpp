#include "program_runner.h"

#include <cstdio>
#include <cstdlib>

#include "posix_runner.h"

namespace e2e {

static_assert(statusAsSeen(-1, StatusWidth::low8Bits) == 255U);
static_assert(statusAsSeen(-1, StatusWidth::full32Bits) == 0xFFFFFFFFU);
static_assert(statusAsSeen(1, StatusWidth::low8Bits) == 1U && statusAsSeen(0, StatusWidth::full32Bits) == 0U);

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
    const std::uint32_t expected = statusAsSeen(toolStatus, run.statusWidth);
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
