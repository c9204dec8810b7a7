// The console stream: standard output in text mode, with no buffer of its own.
#pragma once

#include <cstddef>
#include <string_view>

namespace animconv::console {

// Writes `text` with each line feed turned into carriage return + line feed. Each non-empty stretch between
// line feeds is one write request and each line end one 2-byte request. A failed request ends the text:
// returns false and writes nothing more.
bool writeText(std::string_view text);

// `format` with each "%s" replaced by `argument`'s bytes, written as one text. Built in a 4,096-byte buffer
// taken for the message, or in one as large as the text needs when it is longer.
void formattedMessage(std::string_view format, const char* argument);

// `text` followed by a line end; a text that failed to go out gets no line end.
void lineMessage(std::string_view text);

}  // namespace animconv::console
