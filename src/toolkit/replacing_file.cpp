#include "toolkit/replacing_file.h"
#include "toolkit/translation.h"

namespace toolkit {
namespace {

// Read by an interrupt handler: plain storage, changed one slot at a time.
constexpr int kMostLookedAfter = 4;
const ReplacingFile* volatile lookedAfter[kMostLookedAfter] = {};
volatile int lookedAfterCount = 0;

}  // namespace

std::string FileFailure::describe(const std::string& what) const {
    switch (step) {
        case FileStep::name:
            return what + _("'s name is too long");
        case FileStep::create:
            return _("cannot create a temporary file beside ") + what + ": " + reason;
        case FileStep::write:
            return _("cannot write ") + what + ": " + reason;
        case FileStep::replace:
            return _("cannot replace ") + what + ": " + reason;
    }
    return reason;
}

bool ReplacingFile::open(const std::string& path, const char* tag, FileFailure& failure) {
    abandon();
    if (!filesteps::createBeside(path, tag, handle_, temporary_, failure)) {
        handle_ = kNoFile;
        return false;
    }
    pending_ = !temporary_.empty();
    path_ = path;
    tag_ = tag;
    return true;
}

bool ReplacingFile::write(const void* bytes, std::size_t size, FileFailure& failure) {
    if (filesteps::writeAll(handle_, bytes, size, failure.reason)) {
        return true;
    }
    failure.step = FileStep::write;
    return false;
}

bool ReplacingFile::commit(FileFailure& failure, bool toDisk) {
    const FileHandle handle = handle_;
    handle_ = kNoFile;
    const bool placed = filesteps::putInPlace(handle, path_, tag_, temporary_, pending_, toDisk, failure);
    pending_ = false;
    return placed;
}

void ReplacingFile::abandon() {
    if (handle_ == kNoFile) {
        return;
    }
    filesteps::closeFile(handle_);
    handle_ = kNoFile;
    if (!temporary_.empty()) {
        filesteps::removeFile(temporary_);
    }
    pending_ = false;
}

namespace filesteps {

void lookAfter(const ReplacingFile* file) {
    const int count = lookedAfterCount;
    if (count < kMostLookedAfter) {
        lookedAfter[count] = file;
    }
    lookedAfterCount = count + 1;
}

void stopLookingAfter() {
    const int count = lookedAfterCount - 1;
    if (count < kMostLookedAfter) {
        lookedAfter[count] = nullptr;
    }
    lookedAfterCount = count;
}

void removeAllNow() {
    for (int i = 0; i < kMostLookedAfter; ++i) {
        if (const ReplacingFile* file = lookedAfter[i]) {
            file->removeNow();
        }
    }
}

}  // namespace filesteps
}  // namespace toolkit
