// Writing the stream so that a failed or interrupted run leaves it as it was: a temporary file beside it
// renamed over it at the end, or an append under an exclusive lock cut back to its starting length.
#pragma once

#include <cstdint>
#include <string>

#include "convert/frame_encoder.h"
#include "make/make_options.h"

namespace animmake {

// SIGINT and SIGTERM undo the open output (see below) and end the process with 130 or 143. Installed first
// thing in main, which then holds them until takeInterrupts(): every thread started in between (glib's,
// libvips') inherits them held, so that only the main thread, which writes the stream, ever takes them.
void installInterruptHandlers();
void takeInterrupts();

// Opens the output for `mode`. False with `error` (one line, naming the stream) when it cannot be used:
// an existing non-empty stream in create mode, a folder, a lock held by another run, no permission.
bool openStream(const std::string& path, OutputMode mode, std::string& error);

// One frame, one write. False with `error` on a short or failed write.
bool writeStreamFrame(const animconv::EncodedFrame& frame, std::string& error);

// Makes the frames written the stream: renamed over it, or the append kept.
bool finishStream(std::string& error);

// Leaves the stream as it was: the temporary file removed, or the append cut back.
void abandonStream();

}  // namespace animmake
