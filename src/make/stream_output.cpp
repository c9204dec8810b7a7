#include "make/stream_output.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace animmake {
namespace {

// Read by the signal handler, so plain storage set before the handler can see it: the handler may only
// make async-signal-safe calls (unlink, ftruncate, _exit).
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

extern "C" void onInterrupt(int signal) {
    undoOutput();
    ::_exit(128 + signal);
}

// The signals are held while the undo state changes, so the handler never sees it half set.
class HoldInterrupts {
  public:
    HoldInterrupts() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~HoldInterrupts() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HoldInterrupts(const HoldInterrupts&) = delete;
    HoldInterrupts& operator=(const HoldInterrupts&) = delete;

  private:
    sigset_t previous_{};
};

std::string reasonOf(int error) {
    return std::strerror(error);
}

bool openForAppend(const std::string& path, std::string& error) {
    HoldInterrupts hold;
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
    HoldInterrupts hold;
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
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A closed reader of standard error must not end the run half way; the write fails instead.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
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
    HoldInterrupts hold;
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
    HoldInterrupts hold;
    undoOutput();
    if (streamDescriptor >= 0) {
        ::close(streamDescriptor);
        streamDescriptor = -1;
    }
    undoKind = static_cast<int>(Undo::nothing);
}

}  // namespace animmake
