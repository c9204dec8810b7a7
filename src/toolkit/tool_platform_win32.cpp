#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"
#include "toolkit/win32_text.h"

namespace toolplatform {
namespace {

HANDLE consoleOf(std::FILE* stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}

// The system's limit on a plain path, less the room CreateDirectory keeps for an 8.3 name.
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

}  // namespace

std::wstring systemPathOf(const std::string& utf8) {
    const std::wstring wide = wideOf(utf8);
    if (wide.size() < kPlainPathLimit || wide.rfind(L"\\\\?\\", 0) == 0) {
        return wide;
    }
    // Only a whole path with backslashes may carry the \\?\ prefix; the system completes it first.
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return wide;
    }
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
    }
    return L"\\\\?\\" + full;
}

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
    return _wfopen(systemPathOf(utf8Path).c_str(), wideOf(mode).c_str());
}

std::string libraryName(const std::string& utf8Path) {
    const std::wstring system = systemPathOf(utf8Path);
    return utf8OfWide(system.data(), static_cast<int>(system.size()));
}

bool isFolder(const std::string& utf8Path) {
    const DWORD attributes = GetFileAttributesW(systemPathOf(utf8Path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool listFolder(const std::string& utf8Folder, std::vector<FolderEntry>& entries, std::string& reason) {
    const char last = utf8Folder.empty() ? ':' : utf8Folder.back();
    const std::string pattern = utf8Folder + (last == '\\' || last == '/' || last == ':' ? "*" : "\\*");
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(systemPathOf(pattern).c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return true;  // an empty drive
        }
        reason = systemReason(error);
        return false;
    }
    do {
        const std::wstring_view name(found.cFileName);
        if (name == L"." || name == L".." ||
            (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
            continue;
        }
        entries.push_back(FolderEntry{utf8OfWide(found.cFileName, -1),
                                      (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(search, &found) != 0);
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
        reason = systemReason(error);
        return false;
    }
    return true;
}

std::string utf8OfAnsi(const std::string& text) {
    if (text.empty()) {
        return text;
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return utf8OfWide(wide.data(), length);
}

void readInBinary(std::FILE* file) {
    _setmode(_fileno(file), _O_BINARY);  // no CR LF translation, no end at Ctrl-Z
}

bool isTerminal(std::FILE* stream) {
    return consoleOf(stream) != nullptr;
}

bool writeText(std::FILE* stream, const std::string& utf8) {
    const HANDLE console = consoleOf(stream);
    const std::wstring wide = wideOf(utf8);
    if (console == nullptr) {
        if (GetACP() == CP_UTF8) {
            return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
        }
        // What the code page lacks shows as '?', as the system's own conversion leaves it.
        const int wideLength = static_cast<int>(wide.size());
        const int size =
            WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
        std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), size, nullptr, nullptr);
        return std::fwrite(ansi.data(), 1, ansi.size(), stream) == ansi.size();
    }
    std::fflush(stream);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
}

bool writeUtf8Text(std::FILE* stream, const std::string& utf8) {
    if (consoleOf(stream) != nullptr) {
        return writeText(stream, utf8);
    }
    return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
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

bool ownsConsoleWindow() {
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1 && consoleOf(stdin) != nullptr;
}

void waitForKey() {
    writeText(stderr, _("Press a key to close this window.\n"));
    const HANDLE input = consoleOf(stdin);
    FlushConsoleInputBuffer(input);
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(input, &record, 1, &read) != 0 && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            return;
        }
    }
}

}  // namespace toolplatform
