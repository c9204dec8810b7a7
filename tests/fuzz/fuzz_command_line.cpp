// Command-line splitting and the wait value on arbitrary bytes, against the test side's own statement of
// the rules (tests/support/reference_command_line.h).
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz_check.h"
#include "platform/platform.h"
#include "reference_command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text ends at the first NUL, or at the end of the input.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    FUZZ_CHECK(animconv::parseWaitTime(text.data()) == testsupport::referenceWaitByte(text.data()));

    const std::vector<std::string> expected = testsupport::referenceSplit(text.data());
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
