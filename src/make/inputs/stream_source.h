// Animation streams in: a file whose first frame is a whole frame (by the rules of what animconv writes) is
// read as a stream, frame by frame, through the project's stream reader. Its pixels are cube colours and
// pass no dither; its waits are in the run's wait unit, and --start, --duration and --fps take its frames
// by those waits as they take a video's by its clock.
#pragma once

#include <memory>
#include <string>

#include "make/inputs/file_head.h"
#include "make/inputs/source.h"
#include "make/inputs/source_settings.h"

namespace animmake::inputs {

// Whether the file's first frame is a whole frame; when not, `whereItBreaks` says where, for a file that
// turns out to be nothing else either.
bool startsAsStream(const FileHead& head, std::string& whereItBreaks);

// The stream's frames. The source fails for a stream that breaks further on or cannot be read, or one whose
// range takes no frame.
std::unique_ptr<Source> openStream(const std::string& path, const SourceSettings& settings);
// The source keeps `settings`: a temporary would be gone before the first frame.
std::unique_ptr<Source> openStream(const std::string& path, SourceSettings&& settings) = delete;

}  // namespace animmake::inputs
