// The POSIX steps of the stream output: flock for the append, the signal handlers for the undo.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "make/output/stream_check.h"
#include "make/output/stream_output.h"
#include "make/output/stream_output_os.h"
#include "toolkit/held_interrupts.h"
#include "toolkit/translation.h"

namespace animmake {
namespace {

// Read by the signal handler, which may only make async-signal-safe calls (unlink, ftruncate, _exit). The
// signals are held (HeldInterrupts) while it changes, so the handler never sees it half set.
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

sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

struct HeldInterrupts::Saved {
    sigset_t previous{};
};

HeldInterrupts::HeldInterrupts() : saved_(std::make_unique<Saved>()) {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, &saved_->previous);
}

HeldInterrupts::~HeldInterrupts() {
    pthread_sigmask(SIG_SETMASK, &saved_->previous, nullptr);
}

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

Opened openLocked(const std::string& path, toolkit::FileHandle& handle, std::string& reason) {
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        reason = std::strerror(errno);
        return Opened::failed;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
        ::close(descriptor);
        return Opened::locked;
    }
    handle = descriptor;
    return Opened::yes;
}

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

void cutBack(toolkit::FileHandle handle, std::uint64_t length) {
    // Also runs in the signal handler, where nothing more can be done about a failed cut-back.
    [[maybe_unused]] const int cut = ::ftruncate(static_cast<int>(handle), static_cast<off_t>(length));
}

}  // namespace streamos
}  // namespace animmake
