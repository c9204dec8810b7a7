// The POSIX steps of the stream output: flock for the append, the signal handlers for the undo.
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "make/output/stream_check.h"
#include "make/output/stream_output.h"
#include "make/output/stream_output_os.h"
#include "toolkit/translation.h"

namespace animmake::output {
namespace {

// Read by the signal handler, which may only make async-signal-safe calls (unlink, _exit). The
// signals are held (toolkit::HeldInterrupts) while it changes, so the handler never sees it half set.
const StreamOutput* volatile undone = nullptr;

pthread_t mainThread;

extern "C" void onInterrupt(int signal) {
    if (pthread_equal(pthread_self(), mainThread) == 0) {
        // A thread that did not inherit the held signals: the main thread runs the undo, between its writes.
        ::pthread_kill(mainThread, signal);
        return;
    }
    if (const StreamOutput* output = undone) {
        output->undoNow();
    }
    ::_exit(128 + signal);
}

// The signals toolkit::HeldInterrupts holds.
sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void installInterruptHandlers() {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    mainThread = pthread_self();
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_mask = set;
    for (const int ending : {SIGINT, SIGTERM}) {
        // Ignored when started (a background job's SIGINT), it stays ignored.
        struct sigaction started {};
        if (::sigaction(ending, nullptr, &started) != 0 || started.sa_handler != SIG_IGN) {
            ::sigaction(ending, &action, nullptr);
        }
    }
    // A closed reader of standard error must not end the run half way; the write fails instead.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

void takeInterrupts() {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

namespace streamos {

void setInterruptUndo(const StreamOutput* output) {
    undone = output;
}

bool examine(const std::string& path, bool& directory, std::uint64_t& size) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    directory = S_ISDIR(status.st_mode);
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

std::string linkedFile(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode) ||
        ::realpath(path.c_str(), resolved) == nullptr) {
        return path;
    }
    return resolved;
}

Opened openLocked(const std::string& path, toolkit::FileHandle& handle, std::string& reason) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            reason = std::strerror(errno);
            return Opened::failed;
        }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
            ::close(descriptor);
            return Opened::locked;
        }
        // Another run's append may have put a new stream in place between the open and the lock.
        struct stat held {};
        struct stat named {};
        if (::fstat(descriptor, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            (held.st_dev != named.st_dev || held.st_ino != named.st_ino)) {
            ::close(descriptor);
            continue;
        }
        handle = descriptor;
        return Opened::yes;
    }
    return Opened::locked;
}

void releaseForReplacing(toolkit::FileHandle&) {}

bool seekToEnd(toolkit::FileHandle handle, std::uint64_t& length, std::string& reason) {
    const off_t end = ::lseek(static_cast<int>(handle), 0, SEEK_END);
    if (end < 0) {
        reason = std::strerror(errno);
        return false;
    }
    length = static_cast<std::uint64_t>(end);
    return true;
}

// An empty file is a stream of no frames.
bool holdsWholeStream(toolkit::FileHandle handle, std::uint64_t length, std::string& fault) {
    if (length == 0) {
        return true;
    }
    const std::size_t size = static_cast<std::size_t>(length);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, static_cast<int>(handle), 0);
    if (mapped == MAP_FAILED) {
        fault = std::string(_("cannot be read: ")) + std::strerror(errno);
        return false;
    }
    const bool whole = isWholeStream(static_cast<const std::uint8_t*>(mapped), size, fault);
    ::munmap(mapped, size);
    return whole;
}

bool copyStream(toolkit::FileHandle from, std::uint64_t length, toolkit::FileHandle into,
                std::string& reason) {
    const int source = static_cast<int>(from);
    const int target = static_cast<int>(into);
    struct stat status {};
    if (::fstat(source, &status) == 0) {
        (void)::fchmod(target, status.st_mode & 07777);
    }
    static char chunk[1 << 16];
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t part =
            static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, length - done));
        const ssize_t got = ::pread(source, chunk, part, static_cast<off_t>(done));
        if (got <= 0) {
            reason = got < 0 ? std::strerror(errno) : _("the stream got shorter");
            return false;
        }
        if (!toolkit::filesteps::writeAll(into, chunk, static_cast<std::size_t>(got), reason)) {
            return false;
        }
        done += static_cast<std::uint64_t>(got);
    }
    return true;
}

}  // namespace streamos
}  // namespace animmake::output
