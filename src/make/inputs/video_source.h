// Video files in: their frames in presentation order, timed by their own clock, fitted as images are.
// Built from FFmpeg's libraries where the build finds them (video_source.cpp); otherwise video_absent.cpp
// recognises the common containers by their first bytes and refuses them with a plain reason.
#pragma once

#include <memory>
#include <string>

#include "make/inputs/file_head.h"
#include "make/inputs/source.h"
#include "make/inputs/source_settings.h"
#include "make/inputs/video_support.h"

namespace animmake::inputs {

// A media container or stream (MP4, MOV, MKV, WebM, AVI, MPEG-TS, ...) by its first bytes, whatever it
// holds and whether or not it decodes: such a file is read as a video and never handed to the image
// loaders.
bool isVideoHead(const FileHead& head);

// The video's frames in presentation order, each with its wait in whole wait units. `head` is the file's
// first bytes when they were read for this load, else null; it need not outlive the call. The source fails
// when the file cannot be used, and gives a notice when it was used only in part (damaged frames skipped).
// The decoder is opened when the first frame is asked for.
std::unique_ptr<Source> openVideo(const std::string& path, const FileHead* head,
                                  const SourceSettings& settings);
std::unique_ptr<Source> openVideo(const std::string& path, const FileHead* head,
                                  SourceSettings&& settings) = delete;

// Once per process: the libraries' own log lines off (every failure is reported once, as one line).
void configureVideoLibrary();

}  // namespace animmake::inputs
