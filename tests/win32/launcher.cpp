// Test launcher, a Windows program: starts a program with CreateProcessA and a raw command line read byte
// for byte from a file, so that the child's GetCommandLineA holds exactly those bytes (quotes, leading
// spaces, Shift_JIS), and reports what a Windows caller sees.
//
//   launcher.exe PROGRAM COMMAND_LINE_FILE REPORT_FILE
//
// The child inherits the launcher's standard input and output unchanged; its standard error goes to
// REPORT_FILE.stderr. REPORT_FILE receives "exit=XXXXXXXX" (the 32-bit exit code in hex), "stderr=N" (bytes
// the child wrote there) and "acp=N" (the ANSI code page the command line crossed), one per line. The
// launcher's own status is 0 when the child ran, 2 when it could not be started or reported.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kLauncherFailure = 2;

int fail(const char* what) {
    std::fprintf(stderr, "launcher: %s failed (error %lu)\n", what,
                 static_cast<unsigned long>(GetLastError()));
    return kLauncherFailure;
}

bool readWholeFile(const char* path, std::string& bytes) {
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char chunk[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0) {
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    return ok;
}

bool writeWholeFile(const char* path, const std::string& bytes) {
    const HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

// The child gets its own inheritable copy, whatever the launcher's handle allows.
HANDLE inheritableCopy(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                        DUPLICATE_SAME_ACCESS) == FALSE) {
        return nullptr;
    }
    return copy;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: launcher PROGRAM COMMAND_LINE_FILE REPORT_FILE\n");
        return kLauncherFailure;
    }
    const char* program = argv[1];
    const std::string reportPath = argv[3];
    const std::string errorPath = reportPath + ".stderr";

    std::string commandLine;
    if (!readWholeFile(argv[2], commandLine)) {
        return fail("reading the command line file");
    }
    // CreateProcessA may write into the command line, so it gets a buffer of its own.
    std::vector<char> lineBuffer(commandLine.begin(), commandLine.end());
    lineBuffer.push_back('\0');

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE childError = CreateFileA(errorPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (childError == INVALID_HANDLE_VALUE) {
        return fail("creating the standard error file");
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inheritableCopy(GetStdHandle(STD_INPUT_HANDLE));
    startup.hStdOutput = inheritableCopy(GetStdHandle(STD_OUTPUT_HANDLE));
    startup.hStdError = childError;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(program, lineBuffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process) == FALSE) {
        return fail("CreateProcessA");
    }
    CloseHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0) {
        return fail("waiting for the child");
    }
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode) == FALSE) {
        return fail("GetExitCodeProcess");
    }
    CloseHandle(process.hProcess);

    LARGE_INTEGER errorBytes{};
    if (GetFileSizeEx(childError, &errorBytes) == FALSE) {
        return fail("measuring the standard error file");
    }
    CloseHandle(childError);

    char report[96];
    std::snprintf(report, sizeof report, "exit=%08lX\nstderr=%lld\nacp=%u\n",
                  static_cast<unsigned long>(exitCode), static_cast<long long>(errorBytes.QuadPart),
                  GetACP());
    if (!writeWholeFile(reportPath.c_str(), report)) {
        return fail("writing the report");
    }
    return 0;
}
