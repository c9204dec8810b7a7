// What both image writers share (giflib/libpng on Linux, libvips on Windows): the names of the PNG files,
// and the frames and colours of a checked stream as the images take them.
#include <cstdio>

#include "animdump/image_files.h"

namespace animdump {
namespace {

animconv::ReadRules markersKept(std::size_t number) {
    animconv::ReadRules rules;
    rules.firstOfRun = number == 1;
    rules.keepMarkers = true;
    return rules;
}

}  // namespace

animconv::FrameSummary readShownFrame(animconv::StreamView stream, std::size_t offset, std::size_t number,
                                      FrameIndices& marked, FrameIndices& pixels) {
    animconv::FrameSummary frame;
    animconv::ProblemReport report;
    readFrame(stream, offset, number, markersKept(number), frame, report, &marked);
    for (std::size_t i = 0; i < animconv::kFramePixels; ++i) {
        if (marked.values[i] != animconv::kUnchangedMarker) {
            pixels.values[i] = marked.values[i];
        }
    }
    return frame;
}

GifPalette paletteOfStream(animconv::StreamView stream, std::size_t frames, FrameIndices& scratch) {
    bool used[256] = {};
    std::size_t offset = 0;
    for (std::size_t number = 1; number <= frames; ++number) {
        animconv::FrameSummary frame;
        animconv::ProblemReport report;
        readFrame(stream, offset, number, markersKept(number), frame, report, &scratch);
        offset += frame.bytes;
        for (const std::uint8_t value : scratch.values) {
            used[value] = true;
        }
    }
    return paletteFor(used);
}

std::string pngName(std::size_t frameNumber) {
    char name[40];
    std::snprintf(name, sizeof name, "frame-%04zu.png", frameNumber);
    return name;
}

}  // namespace animdump
