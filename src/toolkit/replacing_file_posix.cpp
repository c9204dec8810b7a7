#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "toolkit/replacing_file.h"
#include "toolkit/translation.h"

namespace toolkit {
namespace {

extern "C" void removeAndEnd(int signal) {
    filesteps::removeAllNow();
    ::_exit(128 + signal);
}

constexpr int kEndingSignals[] = {SIGINT, SIGTERM};

}  // namespace

struct RemovedOnInterrupt::Saved {
    struct sigaction ending[2]{};
    struct sigaction fileSize {};
};

RemovedOnInterrupt::RemovedOnInterrupt(const ReplacingFile& file) : saved_(std::make_unique<Saved>()) {
    filesteps::lookAfter(&file);
    struct sigaction action {};
    action.sa_handler = removeAndEnd;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < 2; ++i) {
        sigaddset(&action.sa_mask, kEndingSignals[i]);
    }
    for (std::size_t i = 0; i < 2; ++i) {
        ::sigaction(kEndingSignals[i], &action, &saved_->ending[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &saved_->fileSize);
}

RemovedOnInterrupt::~RemovedOnInterrupt() {
    for (std::size_t i = 0; i < 2; ++i) {
        ::sigaction(kEndingSignals[i], &saved_->ending[i], nullptr);
    }
    ::sigaction(SIGXFSZ, &saved_->fileSize, nullptr);
    filesteps::stopLookingAfter();
}

// Also while the file is flushed and renamed: an interrupt then may find it renamed already, and the unlink
// fails harmlessly.
void ReplacingFile::removeNow() const {
    if (pending_) {
        ::unlink(temporary_.c_str());
    }
}

namespace filesteps {

bool createBeside(const std::string& path, const char* tag, FileHandle& handle, std::string& temporary,
                  FileFailure& failure) {
    const std::string pattern = path + tag + "XXXXXX";
    if (pattern.size() >= PATH_MAX + 32) {
        failure.step = FileStep::name;
        failure.reason = _("the name is too long");
        return false;
    }
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int descriptor = ::mkstemp(name.data());
    if (descriptor < 0) {
        failure.step = FileStep::create;
        failure.reason = std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private (0600); it gets the usual permissions under the umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(descriptor, 0666 & ~mask);
    temporary.assign(name.data());
    handle = descriptor;
    return true;
}

bool writeAll(FileHandle handle, const void* bytes, std::size_t size, std::string& reason) {
    const ssize_t written = ::write(static_cast<int>(handle), bytes, size);
    if (written < 0 || static_cast<std::size_t>(written) != size) {
        reason = written < 0 ? std::strerror(errno) : _("the disk is full");
        return false;
    }
    return true;
}

bool flushAndClose(FileHandle handle, bool toDisk, std::string& reason) {
    const int descriptor = static_cast<int>(handle);
    const bool synced = !toDisk || ::fsync(descriptor) == 0;
    const int syncError = errno;
    const bool closed = ::close(descriptor) == 0;
    if (!synced || !closed) {
        reason = std::strerror(synced ? errno : syncError);
        return false;
    }
    return true;
}

bool renameOver(const std::string& from, const std::string& to, std::string& reason) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

void removeFile(const std::string& path) {
    ::unlink(path.c_str());
}

void closeFile(FileHandle handle) {
    ::close(static_cast<int>(handle));
}

}  // namespace filesteps
}  // namespace toolkit
