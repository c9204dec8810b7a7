// animmake built without video input: videos are recognised by their containers' first bytes
// (video_signature.cpp), so that they are refused plainly instead of reaching an image loader.
#include "make/inputs/video_source.h"
#include "toolkit/translation.h"

namespace animmake::inputs {

bool videoSupported() {
    return false;
}

std::unique_ptr<Source> openVideo(const std::string&, const FileHead*, const SourceSettings&) {
    return std::make_unique<RefusedSource>(
        LoadFailure{_("a video, but this animmake was built without video input (FFmpeg's libraries)"), ""});
}

void configureVideoLibrary() {}

}  // namespace animmake::inputs
