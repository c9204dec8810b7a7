#include "make/output/stream_output.h"

#include "make/output/stream_output_os.h"
#include "toolkit/held_interrupts.h"
#include "toolkit/translation.h"

namespace animmake {

bool StreamOutput::open(const std::string& path, OutputMode mode, std::string& error) {
    abandon();
    path_ = path;
    return mode == OutputMode::append ? openForAppend(error) : openReplacing(mode, error);
}

bool StreamOutput::openForAppend(std::string& error) {
    HeldInterrupts hold;
    toolkit::FileHandle handle = toolkit::kNoFile;
    std::string reason;
    switch (streamos::openLocked(path_, handle, reason)) {
        case streamos::Opened::locked:
            error = path_ + _(": the stream is locked by another run");
            return false;
        case streamos::Opened::failed:
            error = path_ + _(": cannot open the stream: ") + reason;
            return false;
        case streamos::Opened::yes:
            break;
    }
    std::uint64_t end = 0;
    if (!streamos::seekToEnd(handle, end, reason)) {
        error = path_ + _(": cannot append to the stream: ") + reason;
        toolkit::filesteps::closeFile(handle);
        return false;
    }
    // Appended after a cut frame or to another kind of file, the frames would be lost in it.
    std::string fault;
    if (!streamos::holdsWholeStream(handle, end, fault)) {
        error = path_ + ": " + fault + _("; it was left as it was");
        toolkit::filesteps::closeFile(handle);
        return false;
    }
    appended_ = handle;
    startLength_ = end;
    streamos::setInterruptUndo(this);
    return true;
}

bool StreamOutput::openReplacing(OutputMode mode, std::string& error) {
    bool directory = false;
    std::uint64_t size = 0;
    if (streamos::examine(path_, directory, size)) {
        if (directory) {
            error = path_ + _(": the stream is a directory");
            return false;
        }
        if (mode == OutputMode::create && size > 0) {
            error = path_ + _(": the stream exists and is not empty (use -f to replace it, -a to append)");
            return false;
        }
    }
    HeldInterrupts hold;
    toolkit::FileFailure failure;
    if (!replacing_.open(path_, ".animmake-", failure)) {
        error = path_ + ": " + failure.describe(_("the stream"));
        return false;
    }
    streamos::setInterruptUndo(this);
    return true;
}

bool StreamOutput::write(const animconv::EncodedFrame& frame, std::string& error) {
    HeldInterrupts hold;  // a cut-back never races a write
    std::string reason;
    bool written = false;
    if (appended_ != toolkit::kNoFile) {
        written = toolkit::filesteps::writeAll(appended_, frame.bytes, frame.length, reason);
    } else {
        toolkit::FileFailure failure;
        written = replacing_.write(frame.bytes, frame.length, failure);
        reason = failure.reason;
    }
    if (!written) {
        error = path_ + _(": cannot write the stream: ") + reason;
    }
    return written;
}

bool StreamOutput::finish(std::string& error) {
    HeldInterrupts hold;
    streamos::setInterruptUndo(nullptr);
    if (appended_ != toolkit::kNoFile) {
        toolkit::filesteps::closeFile(appended_);
        appended_ = toolkit::kNoFile;
        return true;
    }
    toolkit::FileFailure failure;
    if (!replacing_.commit(failure)) {
        error = path_ + ": " + failure.describe(_("the stream"));
        return false;
    }
    return true;
}

void StreamOutput::abandon() {
    HeldInterrupts hold;
    streamos::setInterruptUndo(nullptr);
    if (appended_ != toolkit::kNoFile) {
        streamos::cutBack(appended_, startLength_);
        toolkit::filesteps::closeFile(appended_);
        appended_ = toolkit::kNoFile;
    }
    replacing_.abandon();
}

void StreamOutput::undoNow() const {
    if (appended_ != toolkit::kNoFile) {
        streamos::cutBack(appended_, startLength_);
    }
    replacing_.removeNow();
}

}  // namespace animmake
