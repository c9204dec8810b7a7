// Command-line splitting and the wait value on arbitrary bytes, against the rules restated plainly here.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz_check.h"
#include "platform/platform.h"

namespace {

// Blanks before a wait value: every byte that is at most 32 as a signed 8-bit value, except NUL.
bool isWaitBlank(unsigned char byte) {
    return byte != 0 && (byte <= 0x20 || byte >= 0x80);
}

std::uint8_t referenceWaitByte(const unsigned char* text) {
    while (isWaitBlank(*text)) {
        ++text;
    }
    const bool minus = *text == '-';
    text += minus ? 1 : 0;
    while (isWaitBlank(*text)) {
        ++text;
    }
    if (text[0] == '0' && (text[1] == 'd' || text[1] == 'D')) {
        text += 2;
    }
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = std::min<std::int64_t>(value * 10 + (*text - '0'), 4'294'967'295);
    }
    if (value >= 2'147'483'648) {
        value = 2'147'483'647;
    }
    return static_cast<std::uint8_t>((minus ? -value : value) & 0xFF);
}

std::vector<std::string> referenceSplit(const unsigned char* line) {
    std::vector<std::string> arguments;
    bool quoting = false;
    for (;;) {
        std::string argument;
        // Each byte is taken in turn; the next one continues the argument when it is above 0x20, or when
        // quoting is on and it is not the end of the line.
        while (*line != 0) {
            if (*line == '"') {
                quoting = !quoting;
            } else {
                argument += static_cast<char>(*line);
            }
            const unsigned char next = *++line;
            if (!(next > 0x20 || (quoting && next != 0))) {
                break;
            }
        }
        arguments.push_back(argument);
        while (*line >= 0x01 && *line <= 0x20) {
            ++line;
        }
        if (*line == 0) {
            return arguments;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text ends at the first NUL, or at the end of the input.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    const auto* unsignedText = reinterpret_cast<const unsigned char*>(text.data());

    FUZZ_CHECK(animconv::parseWaitTime(text.data()) == referenceWaitByte(unsignedText));

    const std::vector<std::string> expected = referenceSplit(unsignedText);
    const animconv::Arguments arguments = animconv::splitCommandLine(text.data());
    FUZZ_CHECK(arguments.count >= 1);
    FUZZ_CHECK(static_cast<std::size_t>(arguments.count) == expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        FUZZ_CHECK(arguments.values[i] != nullptr && arguments.values[i] == expected[i]);
    }
    FUZZ_CHECK(arguments.values[arguments.count] == nullptr);
    // The tool keeps its vector for the whole process; here each input's is given back.
    animconv::platform::releaseMemory(arguments.values[0]);
    animconv::platform::releaseMemory(arguments.values);
    return 0;
}
