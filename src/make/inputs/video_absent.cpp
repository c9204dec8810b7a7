// animmake built without video input: videos are recognised by their containers' first bytes
// (video_signature.cpp), so that they are refused plainly instead of reaching an image loader.
#include "make/inputs/video_source.h"
#include "toolkit/translation.h"

namespace animmake::inputs {

bool videoSupported() {
    return false;
}

bool loadVideoFrames(const std::string&, const FileHead*, const SourceSettings&, const FrameSink&,
                     LoadFailure& failure, std::string&) {
    failure.reason = _("a video, but this animmake was built without video input (FFmpeg's libraries)");
    return false;
}

void configureVideoLibrary() {}

}  // namespace animmake::inputs
