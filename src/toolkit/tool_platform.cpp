#include "toolkit/tool_platform.h"

namespace toolplatform {

bool readAll(std::FILE* file, std::string& bytes) {
    readInBinary(file);
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
    }
    return std::ferror(file) == 0;
}

}  // namespace toolplatform
