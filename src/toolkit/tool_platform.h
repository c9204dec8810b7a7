// The OS layer of animmake and animdump (animconv has its own, platform.h): the command line, file names
// and the console. Every name the tools handle is UTF-8 text, on Windows too; this layer turns it into what
// the system takes. One implementation per OS, chosen by the build.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace toolplatform {

// The command line as UTF-8, program name first. On Windows it is read from the UTF-16 command line, so
// that names outside the ANSI code page arrive whole; elsewhere it is argv as given.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// The same as argc and argv for main's option parsing; the strings live as long as this.
class Utf8CommandLine {
  public:
    Utf8CommandLine(int argc, char** argv) : arguments_(utf8Arguments(argc, argv)) {
        for (std::string& argument : arguments_) {
            pointers_.push_back(argument.data());
        }
        pointers_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(arguments_.size()); }
    char** argv() { return pointers_.data(); }

  private:
    std::vector<std::string> arguments_;
    std::vector<char*> pointers_;
};

// A file system path for a UTF-8 name, and a path's UTF-8 name.
inline std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// fopen for a UTF-8 name; errno tells why on failure. On Windows a name past the system's 260-character
// limit is opened by its \\?\ form.
std::FILE* openFile(const std::string& utf8Path, const char* mode);

// The name to hand a library that opens files itself by UTF-8 name (libvips): on Windows a name past the
// 260-character limit in its \\?\ form, otherwise as it is. Messages keep the name as given.
std::string libraryName(const std::string& utf8Path);

// Whether the name is a folder (one that can be read or not), at any length.
bool isFolder(const std::string& utf8Path);

struct FolderEntry {
    std::string name;  // UTF-8, without the folder
    bool folder = false;
};

// The entries of a folder but "." and "..", in the system's order; on Windows hidden and system files are
// left out as Explorer leaves them out. False with `reason` (a plain line) when it cannot be read.
bool listFolder(const std::string& utf8Folder, std::vector<FolderEntry>& entries, std::string& reason);

// Text in the ANSI code page (Windows: 932 on a Japanese system) as UTF-8; elsewhere names are bytes and the
// text is kept as it is.
std::string utf8OfAnsi(const std::string& text);

// Windows shells pass `*` and `?` through to the program, which expands them itself; POSIX shells expand
// them before.
constexpr bool kExpandsWildcards =
#ifdef _WIN32
    true;
#else
    false;
#endif

// Reads the whole of an open file (standard input in binary mode on Windows); false on a read error.
bool readAll(std::FILE* file, std::string& bytes);
// Reads the whole of the file at a UTF-8 path into `bytes`; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes);
// Puts an open file into binary mode where text mode translates line ends (Windows).
void readInBinary(std::FILE* file);

// True when the program has a console window of its own (started from Explorer: a file dropped on it, or
// a double-click) and standard input is that console, so that it can wait for a key before the window
// closes. Always false elsewhere.
bool ownsConsoleWindow();

// "Press a key to close this window." and waits for one.
void waitForKey();

// Whether the stream is an interactive terminal or console.
bool isTerminal(std::FILE* stream);

// Writes UTF-8 text to standard output or standard error: on a Windows console as characters (whatever
// its code page); redirected on Windows in the ANSI code page that `type` and Notepad read (932 on a
// Japanese system), unless the program runs with the UTF-8 code page; elsewhere as the bytes. False when it
// could not be written.
bool writeText(std::FILE* stream, const std::string& utf8);

// As writeText on a console; redirected, the UTF-8 bytes on every system: for a terminal picture, whose
// block characters no ANSI code page has.
bool writeUtf8Text(std::FILE* stream, const std::string& utf8);

// printf's format and values, written by writeText.
#ifdef __GNUC__
__attribute__((format(printf, 2, 3)))
#endif
bool printText(std::FILE* stream, const char* format, ...);

// Makes standard output take the terminal's escape sequences (a Windows console needs virtual-terminal
// processing switched on). False when it is a console that cannot.
bool enableEscapeSequences();

}  // namespace toolplatform
