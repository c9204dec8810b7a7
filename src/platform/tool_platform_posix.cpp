#include <unistd.h>

#include "platform/tool_platform.h"

namespace toolplatform {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
    return std::fopen(utf8Path.c_str(), mode);
}

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

bool writeText(std::FILE* stream, const std::string& utf8) {
    return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
}

bool enableEscapeSequences() {
    return true;
}

}  // namespace toolplatform
