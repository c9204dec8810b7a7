// The thin layer over the operating system: the only operations the converter needs.
// One implementation per operating system is chosen by the build.
#pragma once

#include <cstddef>
#include <cstdint>

namespace animconv::platform {

// An open file: the operating system's own descriptor or handle.
// Which file a name leads to, however it is spelt: the device and inode, or the volume and file index.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool known = false;
};

struct File {
    std::intptr_t handle = -1;
    bool readsInPieces = false;  // a pipe or device, where one request may return only part of the data
    FileIdentity identity;       // taken when a file is opened for reading
};

// Called once at the start, before anything is written.
void prepareProcess();

// The command line as one string where the operating system hands it over that way (to be split by the
// caller), or null where it delivers the arguments already split to the entry.
const char* rawCommandLine();

// One write request on standard output. True when every byte was written.
bool writeStandardOutput(const void* bytes, std::size_t count);

// An existing file, binary, read access, no other opener admitted. A directory is a failed open.
bool openForReading(const char* path, File& file);

// The identity of an existing file by name; `known` stays false when there is none.
FileIdentity identityOf(const char* path);

inline bool sameFile(const FileIdentity& one, const FileIdentity& other) {
    return one.known && other.known && one.volume == other.volume && one.index == other.index;
}

// Read and write access, created when missing, content kept, no other opener admitted, positioned at the
// end. `endOffset` receives the length the file had when opened. A directory is a failed open.
bool openForAppending(const char* path, File& file, std::uint64_t& endOffset);

// Reads from the start up to `capacity` bytes with one request; a file that reads in pieces is read on
// until it ends. Returns the number of bytes read.
std::size_t readFile(File file, void* buffer, std::size_t capacity);

// One write request. True only when every byte was written.
bool writeFile(File file, const void* bytes, std::size_t count);

// Cuts the file back to `length` bytes. True on success.
bool truncateFile(File file, std::uint64_t length);

void closeFile(File file);

void* allocateMemory(std::size_t size);
void releaseMemory(void* block);

[[noreturn]] void exitProcess(int status);

}  // namespace animconv::platform
