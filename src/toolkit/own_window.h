// A tool started from Explorer (a file dropped on it, a double-click) runs in a console window of its own
// that closes the moment the program ends, taking the report or the error with it.
#pragma once

#include <string>

namespace toolplatform {

// Runs `run` on the UTF-8 command line and returns its status. In a console window of the program's own,
// a start with no arguments shows `helpText()` instead of a usage error, and the window stays until a key
// is pressed; elsewhere `run` alone.
int runWaitingInOwnWindow(int argc, char** argv, int (*run)(int argc, char** argv),
                          std::string (*helpText)());

}  // namespace toolplatform
