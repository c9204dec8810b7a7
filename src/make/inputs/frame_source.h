// One input file turned into fitted 190x170 frames: a BMP that animconv accepts through the project's own
// reader, an animation stream through stream_source.h, a video through video_source.h, anything else
// through libvips (shrink-on-load, ICC to sRGB, alpha flattened, fitted).
#pragma once

#include <memory>
#include <string>

#include "make/inputs/file_head.h"
#include "make/inputs/source.h"
#include "make/inputs/source_settings.h"

namespace animmake::inputs {

// What the file is, by its first bytes (and, for what none of libvips' own loaders and no video probe
// claims, by libvips' loaders of files); unknown when nothing reads it.
InputKind kindOf(const std::string& path, const FileHead& head);

// The input's frames, looked at first unless `kind` says what it is. The source fails when the input
// cannot be used, and gives a notice when it was used only in part.
std::unique_ptr<Source> openInput(const std::string& path, InputKind kind, const SourceSettings& settings);
// The source keeps `settings`: a temporary would be gone before the first frame.
std::unique_ptr<Source> openInput(const std::string& path, InputKind kind,
                                  SourceSettings&& settings) = delete;

// A library's error text in plain words: "the file ends early", "corrupt image data", ...
std::string plainReason(const std::string& libraryText);

}  // namespace animmake::inputs
