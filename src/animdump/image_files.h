// Writing decoded frames as image files: an animated GIF (giflib) and one PNG per frame (libpng).
#pragma once

#include <cstdint>
#include <string>

#include "convert/stream_reader.h"

namespace animdump {

using animconv::FrameIndices;

// An animated GIF being written: one full 190x170 image per frame, the colour map index of each pixel being
// its colour cube index, looping forever. Each call returns false with `error` set on failure; after a
// failure, and when the writer goes without close(), the file is closed and removed.
class GifWriter {
  public:
    GifWriter() = default;
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    bool open(const char* path, std::string& error);
    bool addFrame(const FrameIndices& frame, std::uint16_t delay, std::string& error);
    bool close(std::string& error);
    bool isOpen() const { return file_ != nullptr; }

  private:
    bool finish(std::string& error);
    bool abandon(std::string& error);

    void* file_ = nullptr;  // the library's GifFileType
    std::string path_;
};

// One frame as an 8-bit RGB PNG.
bool writePng(const std::string& path, const FrameIndices& frame, std::string& error);

// "frame-0001.png" for frame 1.
std::string pngName(std::size_t frameNumber);

}  // namespace animdump
