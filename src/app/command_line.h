// Reading the command line: splitting one string into arguments, and the wait value.
#pragma once

#include <cstdint>

namespace animconv {

// `count` arguments (at least 1), each NUL-terminated, followed by a null entry.
struct Arguments {
    int count = 0;
    char** values = nullptr;
};

// Splits a command line handed over as one string. Double quotes group and are dropped wherever they stand;
// there is no escape character; bytes 0x80..0xFF never end an argument. The vector and its bytes live until
// the process ends.
Arguments splitCommandLine(const char* line);

// The wait byte of a `Waittime` text: a decimal number, saturated to 32 bits and cut to its low 8 bits.
std::uint8_t parseWaitTime(const char* text);

}  // namespace animconv
