// Writing decoded frames as image files: an animated GIF (giflib) and one PNG per frame (libpng).
#pragma once

#include <cstdint>
#include <string>

#include "convert/stream_reader.h"

namespace animdump {

using animconv::FrameIndices;

// An animated GIF being written: one full 190x170 image per frame, the colour map index of each pixel being
// its colour cube index, looping forever.
struct GifWriter {
    void* file = nullptr;  // the library's GifFileType
    std::string path;
};

// Each returns false with `error` set on failure; after a failure the writer is closed and the file removed.
bool openGif(const char* path, GifWriter& gif, std::string& error);
bool addGifFrame(GifWriter& gif, const FrameIndices& frame, std::uint16_t delay, std::string& error);
bool closeGif(GifWriter& gif, std::string& error);

// One frame as an 8-bit RGB PNG.
bool writePng(const std::string& path, const FrameIndices& frame, std::string& error);

// "frame-0001.png" for frame 1.
std::string pngName(std::size_t frameNumber);

}  // namespace animdump
