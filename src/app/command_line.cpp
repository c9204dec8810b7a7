#include "app/command_line.h"

#include <cstring>

#include "platform/platform.h"

namespace animconv {
namespace {

constexpr char kQuote = '"';

bool isSeparator(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x01 && byte <= 0x20;
}

// Leading blanks of a wait text: bytes that are at most 32 as signed values, so 0x80..0xFF count too.
bool isWaitBlank(char c) {
    return c != '\0' && static_cast<signed char>(c) <= 32;
}

// Copies the arguments of `line` into `text` (when not null) and returns how many there are.
int splitInto(const char* line, char* text, char** values) {
    int count = 0;
    bool quoting = false;
    std::size_t at = 0;
    std::size_t written = 0;
    for (;;) {
        if (values != nullptr) {
            values[count] = text + written;
        }
        ++count;
        for (;;) {
            const char c = line[at];
            if (c == '\0') {
                break;
            }
            if (c == kQuote) {
                quoting = !quoting;
            } else if (text != nullptr) {
                text[written] = c;
            }
            written += (c == kQuote) ? 0 : 1;
            const char next = line[at + 1];
            ++at;
            const bool belongs = static_cast<unsigned char>(next) > 0x20 || (quoting && next != '\0');
            if (!belongs) {
                break;
            }
        }
        if (text != nullptr) {
            text[written] = '\0';
        }
        ++written;
        while (isSeparator(line[at])) {
            ++at;
        }
        if (line[at] == '\0') {
            return count;
        }
    }
}

}  // namespace

Arguments splitCommandLine(const char* line) {
    const int count = splitInto(line, nullptr, nullptr);
    auto* text = static_cast<char*>(platform::allocateMemory(std::strlen(line) + 1));
    auto* values =
        static_cast<char**>(platform::allocateMemory(sizeof(char*) * (static_cast<std::size_t>(count) + 1)));
    splitInto(line, text, values);
    values[count] = nullptr;
    return Arguments{count, values};
}

std::uint8_t parseWaitTime(const char* text) {
    while (isWaitBlank(*text)) {
        ++text;
    }
    const bool negative = *text == '-';
    if (negative) {
        ++text;
    }
    while (isWaitBlank(*text)) {
        ++text;
    }
    if (text[0] == '0' && (text[1] == 'd' || text[1] == 'D')) {
        text += 2;
    }
    constexpr std::uint32_t kSaturated = 4'294'967'295U;
    std::uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const auto digit = static_cast<std::uint32_t>(*text - '0');
        value = (value > (kSaturated - digit) / 10) ? kSaturated : value * 10 + digit;
    }
    // Out of range saturates to 2,147,483,647, negated to -2,147,483,647 (not -2,147,483,648).
    constexpr std::uint32_t kLargest = 2'147'483'647U;
    const std::uint32_t magnitude = value > kLargest ? kLargest : value;
    const std::uint32_t result = negative ? 0U - magnitude : magnitude;
    return static_cast<std::uint8_t>(result & 0xFF);
}

}  // namespace animconv
