#include "reference_command_line.h"

#include <algorithm>

namespace testsupport {

std::vector<std::string> referenceSplit(const std::string& line) {
    const auto byteAt = [&line](std::size_t at) -> unsigned char {
        return at < line.size() ? static_cast<unsigned char>(line[at]) : static_cast<unsigned char>(0);
    };
    std::vector<std::string> arguments;
    std::size_t at = 0;
    bool quoting = false;
    for (;;) {
        std::string argument;
        while (byteAt(at) != 0) {
            const unsigned char c = byteAt(at);
            if (c == '"') {
                quoting = !quoting;
            } else {
                argument += static_cast<char>(c);
            }
            const unsigned char next = byteAt(++at);
            if (!(next > 0x20 || (quoting && next != 0))) {
                break;
            }
        }
        arguments.push_back(argument);
        while (byteAt(at) >= 0x01 && byteAt(at) <= 0x20) {
            ++at;
        }
        if (byteAt(at) == 0) {
            return arguments;
        }
    }
}

std::uint8_t referenceWaitByte(const char* text) {
    const std::string rest(text);
    std::size_t at = 0;
    const auto skipBlanks = [&rest, &at] {
        while (at < rest.size() && (static_cast<unsigned char>(rest[at]) <= 0x20 ||
                                    static_cast<unsigned char>(rest[at]) >= 0x80)) {
            ++at;
        }
    };
    skipBlanks();
    const bool negative = at < rest.size() && rest[at] == '-';
    if (negative) {
        ++at;
        skipBlanks();
    }
    if (rest.compare(at, 2, "0d") == 0 || rest.compare(at, 2, "0D") == 0) {
        at += 2;
    }
    constexpr long long kLargest = 2'147'483'647;
    long long value = 0;
    for (; at < rest.size() && rest[at] >= '0' && rest[at] <= '9'; ++at) {
        value = std::min(value * 10 + (rest[at] - '0'), kLargest);
    }
    return static_cast<std::uint8_t>((negative ? -value : value) & 0xFF);
}

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

}  // namespace testsupport
