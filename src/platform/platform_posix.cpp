// POSIX implementation: plain system calls, no stdio.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "platform/platform.h"

namespace animconv::platform {
namespace {

int descriptorOf(File file) {
    return static_cast<int>(file.handle);
}

// Writes until done, since a pipe or a signal may split one request; false on the first error.
bool writeWhole(int descriptor, const void* bytes, std::size_t count) {
    const auto* next = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t written = ::write(descriptor, next, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        next += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

// "No sharing" stands as an exclusive advisory lock. A file held by another process is a failed open;
// a file system that cannot lock at all is used without the lock.
bool lockExclusively(int descriptor) {
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        return true;
    }
    return errno != EWOULDBLOCK && errno != EAGAIN && errno != EINTR;
}

// A directory opens for reading, so a file to be read is looked at after the open; opening a directory
// with write access fails by itself (EISDIR).
enum class Access { read, readWrite };

bool finishOpen(int descriptor, Access access, File& file) {
    if (descriptor < 0) {
        return false;
    }
    if (access == Access::read) {
        struct stat status {};
        const bool known = ::fstat(descriptor, &status) == 0;
        if (known && S_ISDIR(status.st_mode)) {
            ::close(descriptor);
            return false;
        }
        file.readsInPieces = known && !S_ISREG(status.st_mode);
        file.identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
                         known};
    }
    if (!lockExclusively(descriptor)) {
        ::close(descriptor);
        return false;
    }
    file.handle = descriptor;
    return true;
}

}  // namespace

void prepareProcess() {
    // A closed standard descriptor would be handed to the next open, and console messages would then land in
    // the output file: hold each such number with /dev/null first (open takes the lowest free number).
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) < 0 && errno == EBADF) {
            ::open("/dev/null", O_RDWR);
        }
    }
    // A standard output whose reader has gone is then a failed console write, as on Windows, not a killed
    // process; an output file at the file size limit is likewise a failed write, reported.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

const char* rawCommandLine() {
    return nullptr;
}

bool writeStandardOutput(const void* bytes, std::size_t count) {
    return writeWhole(STDOUT_FILENO, bytes, count);
}

bool openForReading(const char* path, File& file) {
    return finishOpen(::open(path, O_RDONLY | O_CLOEXEC), Access::read, file);
}

FileIdentity identityOf(const char* path) {
    struct stat status {};
    if (::stat(path, &status) != 0) {
        return {};
    }
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino), true};
}

bool openForAppending(const char* path, File& file, std::uint64_t& endOffset) {
    if (!finishOpen(::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666), Access::readWrite, file)) {
        return false;
    }
    const off_t end = ::lseek(descriptorOf(file), 0, SEEK_END);
    if (end < 0) {
        closeFile(file);
        return false;
    }
    endOffset = static_cast<std::uint64_t>(end);
    return true;
}

std::size_t readFile(File file, void* buffer, std::size_t capacity) {
    auto* next = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < capacity) {
        const ssize_t got = ::read(descriptorOf(file), next + total, capacity - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
        if (!file.readsInPieces) {
            break;  // a regular file gives all it has to one request
        }
    }
    return total;
}

bool writeFile(File file, const void* bytes, std::size_t count) {
    const ssize_t written = ::write(descriptorOf(file), bytes, count);
    return written >= 0 && static_cast<std::size_t>(written) == count;
}

bool truncateFile(File file, std::uint64_t length) {
    return ::ftruncate(descriptorOf(file), static_cast<off_t>(length)) == 0;
}

void closeFile(File file) {
    ::close(descriptorOf(file));
}

void* allocateMemory(std::size_t size) {
    return std::malloc(size);
}

void releaseMemory(void* block) {
    std::free(block);
}

void exitProcess(int status) {
    ::_exit(status);
}

}  // namespace animconv::platform
