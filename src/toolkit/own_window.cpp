#include "toolkit/own_window.h"

#include "toolkit/tool_platform.h"

namespace toolplatform {

int runWaitingInOwnWindow(int argc, char** argv, int (*run)(int argc, char** argv),
                          std::string (*helpText)()) {
    Utf8CommandLine commandLine(argc, argv);
    const bool ownWindow = ownsConsoleWindow();
    if (ownWindow && commandLine.argc() == 1) {
        writeText(stdout, helpText());
        waitForKey();
        return 0;
    }
    const int status = run(commandLine.argc(), commandLine.argv());
    if (ownWindow) {
        waitForKey();
    }
    return status;
}

}  // namespace toolplatform
