// The process entry: take the arguments as the operating system delivers them and run.
#include "app/command_line.h"
#include "app/run_control.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    animconv::platform::prepareProcess();
    const char* line = animconv::platform::rawCommandLine();
    animconv::runTool(line != nullptr ? animconv::splitCommandLine(line) : animconv::Arguments{argc, argv});
}
