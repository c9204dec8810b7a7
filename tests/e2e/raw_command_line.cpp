#include "raw_command_line.h"

namespace e2e {

std::optional<std::string> rawCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (argument.find('"') != std::string::npos || argument.find('\0') != std::string::npos) {
            return std::nullopt;
        }
        // Inside quotes every byte but NUL stays in the argument, blanks and line breaks included.
        if (!line.empty()) {
            line += ' ';
        }
        line += '"' + argument + '"';
    }
    return line;
}

}  // namespace e2e
