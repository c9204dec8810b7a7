#include "make/stream_output.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "convert/stream_reader.h"
#include "make/held_interrupts.h"

namespace animmake {
namespace {

// Read by the signal handler, so plain storage set before the handler can see it: the handler may only
// make async-signal-safe calls (unlink, ftruncate, _exit). The signals are held (HeldInterrupts) while the
// undo state changes, so the handler never sees it half set.
enum class Undo : int { nothing, removeTemporary, cutBack };
volatile std::sig_atomic_t undoKind = static_cast<int>(Undo::nothing);
char temporaryPath[PATH_MAX + 32];
int streamDescriptor = -1;
off_t startLength = 0;
std::string finalPath;

void undoOutput() {
    switch (static_cast<Undo>(undoKind)) {
        case Undo::removeTemporary:
            ::unlink(temporaryPath);
            break;
        case Undo::cutBack: {
            // Also runs in the signal handler, where nothing more can be done about a failed cut-back.
            [[maybe_unused]] const int cutBack = ::ftruncate(streamDescriptor, startLength);
            break;
        }
        case Undo::nothing:
            break;
    }
}

pthread_t mainThread;

extern "C" void onInterrupt(int signal) {
    if (pthread_equal(pthread_self(), mainThread) == 0) {
        // A thread that did not inherit the held signals: the main thread runs the undo, between its writes.
        ::pthread_kill(mainThread, signal);
        return;
    }
    undoOutput();
    ::_exit(128 + signal);
}

std::string reasonOf(int error) {
    return std::strerror(error);
}

// The first fault of the file as a stream, read with the rules of what animconv writes ("frame 2 at byte
// 64602: truncated: ..."); empty for a whole stream. An empty file is a stream of no frames.
bool readWholeStream(int descriptor, off_t length, std::string& fault) {
    if (length == 0) {
        return true;
    }
    const std::size_t size = static_cast<std::size_t>(length);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (mapped == MAP_FAILED) {
        fault = std::string("cannot be read: ") + reasonOf(errno);
        return false;
    }
    const animconv::StreamView stream{static_cast<const std::uint8_t*>(mapped), size};
    animconv::ReadRules rules;
    rules.rejectLongFormUnder128 = true;
    animconv::FrameSummary frame;
    animconv::ProblemReport report;
    std::size_t offset = 0;
    for (std::size_t number = 1; offset < size; ++number) {
        rules.firstOfRun = number == 1;
        if (animconv::readFrame(stream, offset, number, rules, frame, report, nullptr) !=
            animconv::Problem::none) {
            break;
        }
        offset += frame.bytes;
    }
    ::munmap(mapped, size);
    if (report.problem == animconv::Problem::none) {
        return true;
    }
    // "invalid: frame N at byte M: ...\n" without its verdict word and line end.
    fault = animconv::verdictLine(report);
    fault.erase(0, fault.find(' ') + 1);
    while (!fault.empty() && fault.back() == '\n') {
        fault.pop_back();
    }
    fault = "not an animation stream: " + fault;
    return false;
}

bool openForAppend(const std::string& path, std::string& error) {
    HeldInterrupts hold;
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        error = path + ": cannot open the stream: " + reasonOf(errno);
        return false;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
        error = path + ": the stream is locked by another run";
        ::close(descriptor);
        return false;
    }
    const off_t end = ::lseek(descriptor, 0, SEEK_END);
    if (end < 0) {
        error = path + ": cannot append to the stream: " + reasonOf(errno);
        ::close(descriptor);
        return false;
    }
    // Appended after a cut frame or to another kind of file, the frames would be lost in it.
    std::string fault;
    if (!readWholeStream(descriptor, end, fault)) {
        error = path + ": " + fault + "; it was left as it was";
        ::close(descriptor);
        return false;
    }
    streamDescriptor = descriptor;
    startLength = end;
    undoKind = static_cast<int>(Undo::cutBack);
    return true;
}

bool openTemporary(const std::string& path, OutputMode mode, std::string& error) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            error = path + ": the stream is a directory";
            return false;
        }
        if (mode == OutputMode::create && status.st_size > 0) {
            error = path + ": the stream exists and is not empty (use -f to replace it, -a to append)";
            return false;
        }
    }
    const std::string pattern = path + ".animmake-XXXXXX";
    if (pattern.size() >= sizeof temporaryPath) {
        error = path + ": the stream's name is too long";
        return false;
    }
    HeldInterrupts hold;
    std::memcpy(temporaryPath, pattern.c_str(), pattern.size() + 1);
    const int descriptor = ::mkstemp(temporaryPath);
    if (descriptor < 0) {
        error = path + ": cannot create a temporary file beside the stream: " + reasonOf(errno);
        return false;
    }
    // mkstemp makes the file private (0600); a stream gets the usual permissions under the umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(descriptor, 0666 & ~mask);
    streamDescriptor = descriptor;
    undoKind = static_cast<int>(Undo::removeTemporary);
    return true;
}

}  // namespace

void installInterruptHandlers() {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    mainThread = pthread_self();
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_mask = set;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A closed reader of standard error must not end the run half way; the write fails instead.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

void takeInterrupts() {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool openStream(const std::string& path, OutputMode mode, std::string& error) {
    finalPath = path;
    return mode == OutputMode::append ? openForAppend(path, error) : openTemporary(path, mode, error);
}

bool writeStreamFrame(const animconv::EncodedFrame& frame, std::string& error) {
    const ssize_t written = ::write(streamDescriptor, frame.bytes, frame.length);
    if (written < 0 || static_cast<std::size_t>(written) != frame.length) {
        error = finalPath + ": cannot write the stream: " +
                (written < 0 ? reasonOf(errno) : std::string("the disk is full"));
        return false;
    }
    return true;
}

bool finishStream(std::string& error) {
    HeldInterrupts hold;
    if (static_cast<Undo>(undoKind) == Undo::cutBack) {
        undoKind = static_cast<int>(Undo::nothing);
        ::close(streamDescriptor);
        streamDescriptor = -1;
        return true;
    }
    if (::fsync(streamDescriptor) != 0 || ::close(streamDescriptor) != 0) {
        error = finalPath + ": cannot write the stream: " + reasonOf(errno);
        streamDescriptor = -1;
        undoOutput();
        undoKind = static_cast<int>(Undo::nothing);
        return false;
    }
    streamDescriptor = -1;
    if (::rename(temporaryPath, finalPath.c_str()) != 0) {
        error = finalPath + ": cannot replace the stream: " + reasonOf(errno);
        undoOutput();
        undoKind = static_cast<int>(Undo::nothing);
        return false;
    }
    undoKind = static_cast<int>(Undo::nothing);
    return true;
}

void abandonStream() {
    HeldInterrupts hold;
    undoOutput();
    if (streamDescriptor >= 0) {
        ::close(streamDescriptor);
        streamDescriptor = -1;
    }
    undoKind = static_cast<int>(Undo::nothing);
}

}  // namespace animmake
