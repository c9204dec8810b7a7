#include "toolkit/tool_platform.h"

#include <cstdarg>

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

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::FILE* file = openFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    const bool read = readAll(file, bytes);
    std::fclose(file);
    return read;
}

bool printText(std::FILE* stream, const char* format, ...) {
    std::va_list values;
    va_start(values, format);
    std::va_list again;
    va_copy(again, values);
    const int length = std::vsnprintf(nullptr, 0, format, values);
    va_end(values);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return writeText(stream, text);
}

}  // namespace toolplatform
