#pragma once

#include "app/command_line.h"

namespace animconv {

// Checks the layout and the mode, converts each InputFile / Waittime pair in order, and ends the process.
[[noreturn]] void runTool(Arguments arguments);

}  // namespace animconv
