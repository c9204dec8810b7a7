// The command-line rules restated plainly on the test side: splitting one command-line string, the wait
// value, and the string that splits back into given arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The splitting rules: an argument starts at the current byte (the first at the very first byte); a double
// quote flips quoting and is dropped; the next byte stays in the argument when it is above 0x20, or when
// quoting is on and it is not NUL; after an argument, bytes 0x01..0x20 are skipped. The line ends at NUL.
std::vector<std::string> referenceSplit(const std::string& line);

// The wait rules: bytes 0x01..0x20 and 0x80..0xFF skipped, an optional minus sign (blanks may follow it),
// an optional "0d" or "0D", then decimal digits; the value, held to -(2^31 - 1)..2^31 - 1, gives its low
// 8 bits. The text ends at NUL.
std::uint8_t referenceWaitByte(const char* text);

// For launchers that hand the program one command-line string (a Windows build): every argument (argument
// 0 first) inside double quotes, one space between them. Nothing when an argument holds a double quote or
// NUL: the splitting rules have no escape, so such an argument cannot be carried.
std::optional<std::string> rawCommandLine(const std::vector<std::string>& arguments);

}  // namespace testsupport
