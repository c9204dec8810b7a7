#include "make/output/stream_output.h"

#include "make/output/stream_output_os.h"
#include "toolkit/held_interrupts.h"
#include "toolkit/translation.h"

namespace animmake::output {

bool StreamOutput::open(const std::string& path, OutputMode mode, std::string& error) {
    abandon();
    path_ = path;
    return mode == OutputMode::append ? openForAppend(error) : openReplacing(mode, error);
}

bool StreamOutput::openForAppend(std::string& error) {
    toolkit::HeldInterrupts hold;
    toolkit::FileHandle handle = toolkit::kNoFile;
    std::string reason;
    // The file a link stands for is the stream appended to, as it was when it was written through.
    const std::string target = streamos::linkedFile(path_);
    switch (streamos::openLocked(target, handle, reason)) {
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
    toolkit::FileFailure failure;
    if (!replacing_.open(target, ".animmake-", failure)) {
        error = path_ + ": " + failure.describe(_("the stream"));
        toolkit::filesteps::closeFile(handle);
        return false;
    }
    if (!streamos::copyStream(handle, end, replacing_.handle(), reason)) {
        error = path_ + _(": cannot append to the stream: ") + reason;
        replacing_.abandon();
        toolkit::filesteps::closeFile(handle);
        return false;
    }
    appendedTo_ = handle;
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
    toolkit::HeldInterrupts hold;
    toolkit::FileFailure failure;
    if (!replacing_.open(path_, ".animmake-", failure)) {
        error = path_ + ": " + failure.describe(_("the stream"));
        return false;
    }
    streamos::setInterruptUndo(this);
    return true;
}

bool StreamOutput::write(const animconv::EncodedFrame& frame, std::string& error) {
    toolkit::HeldInterrupts hold;  // a removal never races a write
    toolkit::FileFailure failure;
    const bool written = replacing_.write(frame.bytes, frame.length, failure);
    if (!written) {
        error = path_ + _(": cannot write the stream: ") + failure.reason;
    }
    return written;
}

bool StreamOutput::finish(std::string& error) {
    toolkit::HeldInterrupts hold;
    streamos::setInterruptUndo(nullptr);
    toolkit::FileFailure failure;
    streamos::releaseForReplacing(appendedTo_);
    const bool committed = replacing_.commit(failure);
    // The lock goes only once the old stream is replaced, so that no other run appends to it meanwhile.
    if (appendedTo_ != toolkit::kNoFile) {
        toolkit::filesteps::closeFile(appendedTo_);
        appendedTo_ = toolkit::kNoFile;
    }
    if (!committed) {
        error = path_ + ": " + failure.describe(_("the stream"));
    }
    return committed;
}

void StreamOutput::abandon() {
    toolkit::HeldInterrupts hold;
    streamos::setInterruptUndo(nullptr);
    replacing_.abandon();
    if (appendedTo_ != toolkit::kNoFile) {
        toolkit::filesteps::closeFile(appendedTo_);
        appendedTo_ = toolkit::kNoFile;
    }
}

void StreamOutput::undoNow() const {
    replacing_.removeNow();
}

}  // namespace animmake::output
