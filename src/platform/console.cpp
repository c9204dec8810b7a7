#include "platform/console.h"

#include <cstring>

#include "platform/platform.h"

namespace animconv::console {
namespace {

constexpr std::size_t kMessageBufferSize = 4096;
constexpr std::string_view kConversion = "%s";

}  // namespace

bool writeText(std::string_view text) {
    while (!text.empty()) {
        const std::size_t lineFeed = text.find('\n');
        const std::string_view stretch = text.substr(0, lineFeed);
        if (!stretch.empty() && !platform::writeStandardOutput(stretch.data(), stretch.size())) {
            return false;
        }
        if (lineFeed == std::string_view::npos) {
            break;
        }
        if (!platform::writeStandardOutput("\r\n", 2)) {
            return false;
        }
        text.remove_prefix(lineFeed + 1);
    }
    return true;
}

void formattedMessage(std::string_view format, const char* argument) {
    const std::string_view inserted = argument != nullptr ? argument : "";
    std::size_t conversions = 0;
    for (std::size_t at = format.find(kConversion); at != std::string_view::npos;
         at = format.find(kConversion, at + kConversion.size())) {
        ++conversions;
    }
    // The text and its terminating NUL; an argument of any length goes out whole.
    const std::size_t needed =
        format.size() - conversions * kConversion.size() + conversions * inserted.size() + 1;
    const std::size_t size = needed > kMessageBufferSize ? needed : kMessageBufferSize;
    auto* buffer = static_cast<char*>(platform::allocateMemory(size));
    if (buffer == nullptr) {
        return;
    }
    std::size_t length = 0;
    while (!format.empty()) {
        const std::size_t at = format.find(kConversion);
        const std::string_view literal = format.substr(0, at);
        std::memcpy(buffer + length, literal.data(), literal.size());
        length += literal.size();
        if (at == std::string_view::npos) {
            break;
        }
        std::memcpy(buffer + length, inserted.data(), inserted.size());
        length += inserted.size();
        format.remove_prefix(at + kConversion.size());
    }
    buffer[length] = '\0';
    writeText(std::string_view(buffer, length));
    platform::releaseMemory(buffer);
}

void lineMessage(std::string_view text) {
    if (writeText(text)) {
        writeText("\n");
    }
}

}  // namespace animconv::console
