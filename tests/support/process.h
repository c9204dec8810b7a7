// Starting a program as a separate process (fork and exec, no shell in between) and collecting what it
// leaves behind: its exit, every byte of standard output and standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

enum class StandardOutput {
    pipe,        // captured through a pipe
    records,     // a packet socket: each write request arrives whole and apart (ProcessRun::outputWrites)
    deviceFull,  // /dev/full: every console write fails
    closed,      // descriptor 1 closed
};

struct ProcessOptions {
    StandardOutput standardOutput = StandardOutput::pipe;
    // A file size limit for the child (RLIMIT_FSIZE), with SIGXFSZ ignored so that a write past it comes
    // back short or failed instead of killing the process.
    std::optional<std::uint64_t> fileSizeLimit;
    // "NAME=value" entries added to the test's own environment.
    std::vector<std::string> environment;
    // Called once the program has started, before its output is collected, with its process id: for a test
    // that signals the program part way.
    std::function<void(int processId)> onStart;
};

struct ProcessRun {
    bool started = false;      // false: the program never ran; `problem` says why
    bool exited = false;       // false: it ended some other way (a signal, the watchdog); see `problem`
    std::uint32_t status = 0;  // the exit status as the parent saw it
    std::string output;        // every byte written to standard output
    std::vector<std::string> outputWrites;  // each write request on it, with StandardOutput::records
    std::string errors;                     // every byte written to standard error
    std::string problem;
};

// Runs `program` with `arguments` (argument 0 first) in the existing folder `folder`, with nothing on
// standard input.
ProcessRun runProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& folder, const ProcessOptions& options = {});

// What most tests look at: the exit status (-1 when the program did not run to its exit) and both outputs.
struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` after argument 0 (the program's own path) in `folder`.
ProcessResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder);

}  // namespace testsupport
