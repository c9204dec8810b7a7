#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
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
        ::sigaction(kEndingSignals[i], nullptr, &saved_->ending[i]);
        // Ignored when started (a background job's SIGINT), it stays ignored.
        if (saved_->ending[i].sa_handler != SIG_IGN) {
            ::sigaction(kEndingSignals[i], &action, nullptr);
        }
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
    if (pending_ && !temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

namespace filesteps {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".")
           : slash == 0               ? std::string("/")
                                      : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A temporary file's descriptor holds an exclusive lock for as long as its run lives: one whose lock can be
// taken was left by a run that died, and is removed if its name still leads to the file locked.
void removeDeadLeftovers(const std::string& path, const char* tag) {
    const std::string folder = folderOf(path);
    const std::string start = baseOf(path) + tag;
    DIR* entries = ::opendir(folder.c_str());
    if (entries == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        const std::string name = entry->d_name;
        if (name.size() <= start.size() || name.compare(0, start.size(), start) != 0) {
            continue;
        }
        const std::string leftover = folder + "/" + name;
        const int descriptor = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (descriptor < 0) {
            continue;
        }
        struct stat held {};
        struct stat named {};
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && ::fstat(descriptor, &held) == 0 &&
            S_ISREG(held.st_mode) && ::lstat(leftover.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino) {
            ::unlink(leftover.c_str());
        }
        ::close(descriptor);
    }
    ::closedir(entries);
}

// The usual permissions under the umask (mkstemp and O_TMPFILE with 0600 make the file private).
void giveUsualPermissions(int descriptor) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(descriptor, 0666 & ~mask);
}

// A named temporary file, locked as its run's own; made again should a cleaner have taken it between its
// creation and the lock.
int createNamed(const std::string& pattern, std::string& temporary) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int descriptor = ::mkstemp(name.data());
        if (descriptor < 0) {
            return -1;
        }
        struct stat held {};
        struct stat named {};
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && ::fstat(descriptor, &held) == 0 &&
            ::stat(name.data(), &named) == 0 && named.st_ino == held.st_ino && named.st_dev == held.st_dev) {
            temporary.assign(name.data());
            return descriptor;
        }
        ::close(descriptor);
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

bool createBeside(const std::string& path, const char* tag, FileHandle& handle, std::string& temporary,
                  FileFailure& failure) {
    const std::string pattern = path + tag + "XXXXXX";
    if (pattern.size() >= PATH_MAX + 32) {
        failure.step = FileStep::name;
        failure.reason = _("the name is too long");
        return false;
    }
    removeDeadLeftovers(path, tag);
    temporary.clear();
    int descriptor = -1;
#ifdef O_TMPFILE
    // Locked too, so that a cleaner never takes it for a dead run's while it is being named.
    descriptor = ::open(folderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        descriptor = -1;
    }
#endif
    if (descriptor < 0) {
        descriptor = createNamed(pattern, temporary);
    }
    if (descriptor < 0) {
        failure.step = FileStep::create;
        failure.reason = errno == ENOENT ? _("the folder does not exist") : std::strerror(errno);
        return false;
    }
    giveUsualPermissions(descriptor);
    handle = descriptor;
    return true;
}

bool putInPlace(FileHandle handle, const std::string& path, const char* tag, std::string& temporary,
                volatile bool& pending, bool toDisk, FileFailure& failure) {
    const int descriptor = static_cast<int>(handle);
    const auto fail = [&](FileStep step, int code) {
        failure.step = step;
        failure.reason = std::strerror(code);
        ::close(descriptor);
        if (!temporary.empty()) {
            ::unlink(temporary.c_str());
        }
        pending = false;
        return false;
    };
    if (toDisk && ::fsync(descriptor) != 0) {
        return fail(FileStep::write, errno);
    }
    if (temporary.empty()) {
        // Linked in under a name of its own, since a link never replaces a name that exists.
        const std::string unnamed = "/proc/self/fd/" + std::to_string(descriptor);
        int linked = -1;
        for (unsigned attempt = 0; attempt < 100 && linked != 0; ++attempt) {
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, "%ld-%u", static_cast<long>(::getpid()), attempt);
            temporary = path + tag + suffix;
            linked = ::linkat(AT_FDCWD, unnamed.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW);
            if (linked != 0 && errno != EEXIST) {
                const int code = errno;
                temporary.clear();
                return fail(FileStep::replace, code);
            }
        }
        if (linked != 0) {
            temporary.clear();
            return fail(FileStep::replace, EEXIST);
        }
        pending = true;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail(FileStep::replace, errno);
    }
    pending = false;
    temporary.clear();
    const bool closed = ::close(descriptor) == 0;
    const int closeError = errno;
    if (toDisk) {
        // The rename itself reaches the disk with the folder.
        const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            (void)::fsync(folder);
            ::close(folder);
        }
    }
    if (!closed) {
        failure.step = FileStep::write;
        failure.reason = std::strerror(closeError);
        return false;
    }
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
