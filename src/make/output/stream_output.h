// Writing the stream so that a failed, interrupted or killed run (or a crash of the system) leaves it as it
// was: a temporary file beside it renamed over it at the end. An append copies the old stream into the
// temporary file first, under an exclusive lock on the old one, so that it is all or nothing too.
#pragma once

#include <cstdint>
#include <string>

#include "convert/frame_encoder.h"
#include "make/output/output_mode.h"
#include "toolkit/replacing_file.h"

namespace animmake::output {

// SIGINT and SIGTERM undo the open output (see below) and end the process with 130 or 143. Installed first
// thing in main, which then holds them until takeInterrupts(): every thread started in between (glib's,
// libvips') inherits them held, so that only the main thread, which writes the stream, ever takes them.
void installInterruptHandlers();
void takeInterrupts();

// The stream being written. Left as it was (the temporary file removed, or the append cut back) when it
// goes without finish(), by an exception too, and when an interrupt ends the process.
class StreamOutput {
  public:
    StreamOutput() = default;
    ~StreamOutput() { abandon(); }
    StreamOutput(const StreamOutput&) = delete;
    StreamOutput& operator=(const StreamOutput&) = delete;

    // Opens the output for `mode`. False with `error` (one line, naming the stream) when it cannot be used:
    // an existing non-empty stream in create mode, a folder, a lock held by another run, no permission.
    bool open(const std::string& path, OutputMode mode, std::string& error);

    // One frame, one write. False with `error` on a short or failed write.
    bool write(const animconv::EncodedFrame& frame, std::string& error);

    // Makes the frames written the stream: renamed over it, or the append kept.
    bool finish(std::string& error);

    // Leaves the stream as it was.
    void abandon();

    // The interrupt handler's undo, with the calls it may make; the process ends right after.
    void undoNow() const;

  private:
    bool openForAppend(std::string& error);
    bool openReplacing(OutputMode mode, std::string& error);

    std::string path_;
    toolkit::ReplacingFile replacing_;
    toolkit::FileHandle appendedTo_ = toolkit::kNoFile;  // the old stream, held locked until it is replaced
};

}  // namespace animmake::output
