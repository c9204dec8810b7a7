#include <windows.h>

#include <io.h>
#include <shellapi.h>

#include "platform/tool_platform.h"
#include "platform/win32_text.h"

namespace toolplatform {
namespace {

HANDLE consoleOf(std::FILE* stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}

}  // namespace

std::wstring wideOf(const std::string& utf8) {
    if (utf8.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string utf8OfWide(const wchar_t* wide, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8.data(), size, nullptr, nullptr);
    if (length < 0 && !utf8.empty()) {
        utf8.pop_back();  // the terminating NUL
    }
    return utf8;
}

std::string systemReason(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = length > 0 ? utf8OfWide(text, static_cast<int>(length)) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason.empty() ? "error " + std::to_string(error) : reason;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(utf8OfWide(wide[i], -1));
    }
    LocalFree(wide);
    return arguments;
}

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
    return _wfopen(wideOf(utf8Path).c_str(), wideOf(mode).c_str());
}

bool isTerminal(std::FILE* stream) {
    return consoleOf(stream) != nullptr;
}

bool writeText(std::FILE* stream, const std::string& utf8) {
    const HANDLE console = consoleOf(stream);
    if (console == nullptr) {
        return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
    }
    std::fflush(stream);
    const std::wstring wide = wideOf(utf8);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
}

bool enableEscapeSequences() {
    const HANDLE console = consoleOf(stdout);
    if (console == nullptr) {
        return true;  // a file or pipe takes the bytes as they are
    }
    DWORD mode = 0;
    GetConsoleMode(console, &mode);
    return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING | ENABLE_PROCESSED_OUTPUT) != 0;
}

}  // namespace toolplatform
