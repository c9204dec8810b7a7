#include <unistd.h>

#include <system_error>

#include "toolkit/tool_platform.h"

namespace toolplatform {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
    return std::fopen(utf8Path.c_str(), mode);
}

std::string libraryName(const std::string& utf8Path) {
    return utf8Path;
}

bool isFolder(const std::string& utf8Path) {
    std::error_code code;
    return std::filesystem::is_directory(pathOf(utf8Path), code);
}

bool listFolder(const std::string& utf8Folder, std::vector<FolderEntry>& entries, std::string& reason) {
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator(pathOf(utf8Folder), code)) {
        std::error_code kindCode;
        entries.push_back(FolderEntry{utf8Of(entry.path().filename()), entry.is_directory(kindCode)});
    }
    if (code) {
        reason = code.message();
        return false;
    }
    return true;
}

std::string utf8OfAnsi(const std::string& text) {
    return text;
}

void readInBinary(std::FILE*) {}

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

bool writeText(std::FILE* stream, const std::string& utf8) {
    return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
}

bool writeUtf8Text(std::FILE* stream, const std::string& utf8) {
    return writeText(stream, utf8);
}

bool enableEscapeSequences() {
    return true;
}

bool ownsConsoleWindow() {
    return false;
}

void waitForKey() {}

}  // namespace toolplatform
