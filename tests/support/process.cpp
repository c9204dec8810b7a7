#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace testsupport {
namespace {

// Far beyond any honest run; only here so that a hanging program fails its test instead of the suite.
constexpr int kWatchdogMilliseconds = 60'000;

struct Pipe {
    int readEnd = -1;
    int writeEnd = -1;
};

bool openPacketSocket(Pipe& pipe) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    ::shutdown(ends[0], SHUT_WR);
    pipe.readEnd = ends[0];
    pipe.writeEnd = ends[1];
    return true;
}

bool openPipe(Pipe& pipe) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    pipe.readEnd = ends[0];
    pipe.writeEnd = ends[1];
    return true;
}

void closeEnd(int& descriptor) {
    if (descriptor >= 0) {
        ::close(descriptor);
        descriptor = -1;
    }
}

// In the child, between fork and exec: only async-signal-safe calls. Reports errno through `report`.
[[noreturn]] void becomeProgram(const char* program, char* const* argv, char* const* environment,
                                const char* folder, const Pipe& output, const Pipe& errors, int report,
                                const ProcessOptions& options) {
    const int nothing = ::open("/dev/null", O_RDONLY);
    bool ready = nothing >= 0 && ::dup2(nothing, STDIN_FILENO) >= 0 &&
                 ::dup2(output.writeEnd, STDOUT_FILENO) >= 0 && ::dup2(errors.writeEnd, STDERR_FILENO) >= 0 &&
                 ::chdir(folder) == 0;
    if (ready && options.standardOutput == StandardOutput::deviceFull) {
        const int full = ::open("/dev/full", O_WRONLY);
        ready = full >= 0 && ::dup2(full, STDOUT_FILENO) >= 0;
    }
    if (ready && options.standardOutput == StandardOutput::closed) {
        ::close(STDOUT_FILENO);
    }
    if (ready && options.fileSizeLimit) {
        const rlimit limit{static_cast<rlim_t>(*options.fileSizeLimit),
                           static_cast<rlim_t>(*options.fileSizeLimit)};
        ::signal(SIGXFSZ, SIG_IGN);  // an ignored signal stays ignored across exec
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (ready) {
        ::execve(program, argv, environment);
    }
    const int error = errno;
    [[maybe_unused]] const ssize_t ignored = ::write(report, &error, sizeof error);
    ::_exit(127);
}

// Reads both pipes to their ends; false when the watchdog ran out first.
// With `records`, every read of standard output is one write request of the program.
bool drain(Pipe& output, Pipe& errors, std::string& outputBytes, std::string& errorBytes,
           std::vector<std::string>* records) {
    char chunk[65536];
    while (output.readEnd >= 0 || errors.readEnd >= 0) {
        pollfd watched[2] = {{output.readEnd, POLLIN, 0}, {errors.readEnd, POLLIN, 0}};
        const int ready = ::poll(watched, 2, kWatchdogMilliseconds);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        Pipe* pipes[2] = {&output, &errors};
        std::string* sinks[2] = {&outputBytes, &errorBytes};
        for (int i = 0; i < 2; ++i) {
            if (watched[i].fd < 0 || watched[i].revents == 0) {
                continue;
            }
            const ssize_t got = ::read(watched[i].fd, chunk, sizeof chunk);
            if (got > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(got));
                if (i == 0 && records != nullptr) {
                    records->emplace_back(chunk, static_cast<std::size_t>(got));
                }
            } else if (got == 0 || errno != EINTR) {
                closeEnd(pipes[i]->readEnd);
            }
        }
    }
    return true;
}

}  // namespace

ProcessRun runProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& folder, const ProcessOptions& options) {
    ProcessRun result;
    std::vector<std::string> all = arguments;
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    // The added entries first: where a name is there twice, the first one counts.
    std::vector<std::string> entries = options.environment;
    std::vector<char*> environment;
    for (std::string& entry : entries) {
        environment.push_back(entry.data());
    }
    for (char** entry = environ; *entry != nullptr; ++entry) {
        environment.push_back(*entry);
    }
    environment.push_back(nullptr);

    Pipe output, errors, report;
    const bool recording = options.standardOutput == StandardOutput::records;
    const bool outputOpen = recording ? openPacketSocket(output) : openPipe(output);
    if (!outputOpen || !openPipe(errors) || !openPipe(report)) {
        result.problem = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        becomeProgram(program.c_str(), argv.data(), environment.data(), folder.c_str(), output, errors,
                      report.writeEnd, options);
    }
    closeEnd(output.writeEnd);
    closeEnd(errors.writeEnd);
    closeEnd(report.writeEnd);
    if (child < 0) {
        result.problem = std::string("fork: ") + std::strerror(errno);
        closeEnd(output.readEnd);
        closeEnd(errors.readEnd);
        closeEnd(report.readEnd);
        return result;
    }
    if (options.onStart) {
        options.onStart(child);
    }

    const bool finished =
        drain(output, errors, result.output, result.errors, recording ? &result.outputWrites : nullptr);
    if (!finished) {
        ::kill(child, SIGKILL);
        closeEnd(output.readEnd);
        closeEnd(errors.readEnd);
    }
    int childError = 0;
    const ssize_t reported = ::read(report.readEnd, &childError, sizeof childError);
    closeEnd(report.readEnd);

    int waitStatus = 0;
    while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    if (reported == static_cast<ssize_t>(sizeof childError)) {
        result.problem = "could not start " + program + ": " + std::strerror(childError);
        return result;
    }
    result.started = true;
    if (!finished) {
        result.problem = "still running after the watchdog's limit; killed";
    } else if (WIFEXITED(waitStatus)) {
        result.exited = true;
        result.status = static_cast<std::uint32_t>(WEXITSTATUS(waitStatus));
    } else if (WIFSIGNALED(waitStatus)) {
        result.problem = std::string("killed by signal ") + std::to_string(WTERMSIG(waitStatus)) + " (" +
                         ::strsignal(WTERMSIG(waitStatus)) + ")";
    }
    return result;
}

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder) {
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const ProcessRun run = runProcess(program, all, folder);
    return {run.exited ? static_cast<int>(run.status) : -1, run.output, run.errors};
}

}  // namespace testsupport
