// A file put in place whole or not at all: written as a temporary file beside its final name and renamed
// over it once complete, so that a failed or interrupted write leaves the file that was there as it was and
// no temporary file behind. Where the system has them the temporary file has no name until it is complete
// (Linux O_TMPFILE) or is deleted when closed until it is renamed (Windows), so that even a killed run
// leaves nothing; a named one left by a run that died is removed by the next run beside the same file.
// Renaming replaces the final name's entry: a link's own name may be replaced, the file it points at never
// is. The policy lives in replacing_file.cpp; only the OS steps are per platform (replacing_file_posix.cpp,
// replacing_file_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace toolkit {

// A file descriptor on POSIX, a HANDLE on Windows; -1 (INVALID_HANDLE_VALUE) for none.
using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

enum class FileStep { name, create, write, replace };

struct FileFailure {
    FileStep step = FileStep::write;
    std::string reason;  // the system's words ("No space left on device", "the disk is full")

    // One line for `what` ("the stream"): "cannot write the stream: No space left on device".
    std::string describe(const std::string& what) const;
};

class ReplacingFile {
  public:
    ReplacingFile() = default;
    ~ReplacingFile() { abandon(); }  // abandoned unless committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file beside `path`, named `path` + `tag` + something unique (".animmake-").
    bool open(const std::string& path, const char* tag, FileFailure& failure);
    // One write of all the bytes; a short one is a full disk.
    bool write(const void* bytes, std::size_t size, FileFailure& failure);
    // Closed and renamed over the final name, with `toDisk` flushed to the disk first; abandoned when any of
    // that fails. Without the flush a crash of the system (not of the program) may lose the file's bytes.
    bool commit(FileFailure& failure, bool toDisk = true);
    // The temporary file closed and removed; nothing when none is open.
    void abandon();
    bool isOpen() const { return handle_ != kNoFile; }
    FileHandle handle() const { return handle_; }

    // From an interrupt handler, just before the process ends: the temporary file removed with the calls
    // such a handler may make (on POSIX unlink alone).
    void removeNow() const;

  private:
    std::string path_;
    const char* tag_ = "";
    std::string temporary_;  // empty while the file has no name
    FileHandle handle_ = kNoFile;
    volatile bool pending_ = false;  // the temporary file exists: from its creation until renamed or removed
};

// For a program with no interrupt handling of its own (animdump): while this lives, SIGINT and SIGTERM (on
// Windows Ctrl-C, Ctrl-Break and closing the console) remove `file`'s temporary file and end the process
// with 130 or 143; a file size limit fails the write instead of ending it. Put back as it was after.
class RemovedOnInterrupt {
  public:
    explicit RemovedOnInterrupt(const ReplacingFile& file);
    ~RemovedOnInterrupt();
    RemovedOnInterrupt(const RemovedOnInterrupt&) = delete;
    RemovedOnInterrupt& operator=(const RemovedOnInterrupt&) = delete;

  private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

// The OS steps under ReplacingFile, also used by writers that keep a file open otherwise (animmake's
// append). Each returns false with the system's reason.
namespace filesteps {

// Also removes what dead runs left beside `path` under `tag`. `temporary` is empty for a file with no name.
bool createBeside(const std::string& path, const char* tag, FileHandle& handle, std::string& temporary,
                  FileFailure& failure);
// The complete temporary file made `path`: flushed to the disk first with `toDisk`, named beside `path`
// when it has no name yet (`temporary` and `pending` then set while the name stands), renamed over `path`.
// The handle is closed whatever happens; false with `failure` (a failed flush is a write step), and then no
// temporary file is left.
bool putInPlace(FileHandle handle, const std::string& path, const char* tag, std::string& temporary,
                volatile bool& pending, bool toDisk, FileFailure& failure);
bool writeAll(FileHandle handle, const void* bytes, std::size_t size, std::string& reason);
// Closes the handle whatever happens; flushes it to the disk first with `toDisk`.
bool flushAndClose(FileHandle handle, bool toDisk, std::string& reason);
bool renameOver(const std::string& from, const std::string& to, std::string& reason);
void removeFile(const std::string& path);
void closeFile(FileHandle handle);

// The files RemovedOnInterrupt looks after, innermost last; removeAllNow() is for the handler.
void lookAfter(const ReplacingFile* file);
void stopLookingAfter();
void removeAllNow();

}  // namespace filesteps

}  // namespace toolkit
