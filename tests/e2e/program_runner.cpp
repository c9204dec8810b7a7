#include "program_runner.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "launcher_runner.h"
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

// ANIMCONV_LAUNCHER (tests/win32/launcher.exe) chooses the Windows way: ANIMCONV_PROGRAM is then
// animconv.exe, started under wine by ANIMCONV_WINE_RUN (tools/win32/wine-run.sh).
const ProgramRunner& activeRunner() {
    static const std::unique_ptr<ProgramRunner> runner = []() -> std::unique_ptr<ProgramRunner> {
        const char* launcher = std::getenv("ANIMCONV_LAUNCHER");
        if (launcher != nullptr && *launcher != '\0') {
            const char* wineRun = std::getenv("ANIMCONV_WINE_RUN");
            return std::make_unique<LauncherRunner>(wineRun != nullptr ? wineRun : "wine-run.sh", launcher,
                                                    programPath());
        }
        return std::make_unique<PosixRunner>(programPath());
    }();
    return *runner;
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
