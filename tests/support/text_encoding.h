// Converting text between character sets with the C library's iconv (POSIX only).
#pragma once

#include <optional>
#include <string>

namespace testsupport {

// `text` converted from the character set `from` to `to`, or nothing when a byte does not convert or the
// C library has no such converter.
std::optional<std::string> convertText(const std::string& text, const char* from, const char* to);

}  // namespace testsupport
