#pragma once

#include "app/command_line.h"

namespace animconv {

constexpr int kExitSuccess = 0;
constexpr int kExitArgumentError = -1;  // 0xFFFFFFFF to the operating system, 255 to a POSIX shell

// Checks the layout and the mode, converts each InputFile / Waittime pair in order, and ends the process.
[[noreturn]] void runTool(Arguments arguments);

}  // namespace animconv
