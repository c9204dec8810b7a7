// Animation streams in: a file whose first frame is a whole frame (by the rules of what animconv writes) is
// read as a stream, frame by frame, through the project's stream reader. Its pixels are cube colours and
// pass no dither; its waits are in the run's wait unit, and --start, --duration and --fps take its frames
// by those waits as they take a video's by its clock.
#pragma once

#include <string>

#include "make/inputs/source.h"
#include "make/inputs/source_settings.h"

namespace animmake {

enum class StreamLoad {
    notAStream,  // the first frame is not a whole frame: `reason` says where it breaks, for a file that
                 // turns out to be nothing else either
    loaded,
    failed,  // a stream that breaks further on, or one that cannot be read: `reason` says why
};

StreamLoad loadStreamFrames(const std::string& path, const SourceSettings& settings, const FrameSink& sink,
                            std::string& reason);

}  // namespace animmake
