// Small test videos encoded with libavcodec and muxed with libavformat: a chosen clock, picture,
// rotation and sample aspect ratio.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "make_test_support.h"

namespace maketest {

struct ClipPlan {
    int width = 64;
    int height = 48;
    // Frames at pts 0, 1, 2, ... in this time base (a constant rate of den/num frames a second) unless
    // `stamps` gives each frame's pts.
    int timeBaseNum = 1;
    int timeBaseDen = 30;
    int frames = 30;
    std::vector<std::int64_t> stamps;
    int clockwiseRotation = 0;  // the display matrix's turn
    int sampleAspectNum = 1;
    int sampleAspectDen = 1;
    const char* codec = "mpeg4";
    // Frames whose packets are replaced by junk bytes after encoding.
    std::vector<int> junkFrames;
    // The codec the container names instead of the one encoded (an FFmpeg codec name).
    const char* labelledAs = nullptr;
    // The colour of pixel (x, y) of frame `index`; by default a grey that changes with the frame.
    std::function<Rgb(int index, int x, int y)> paint;
};

// Writes the video (the container from the file name's extension); fails the test when it cannot.
void writeVideo(const std::string& path, const ClipPlan& clip);

bool hasDecoder(const char* codec);
bool hasEncoder(const char* codec);

}  // namespace maketest
