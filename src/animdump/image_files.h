// Writing decoded frames as image files: an animated GIF (giflib) and one PNG per frame (libpng), or both
// through libvips in the Windows build.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "animdump/gif_images.h"
#include "convert/stream_reader.h"

namespace animdump {

using animconv::FrameIndices;

// The library the images are written with, from the first image to the end of the run: libvips in the
// Windows build, shut down when this goes; giflib and libpng need no start. The run holds one around all
// its writing and starts it before each writer is used.
class ImageLibraryHold {
  public:
    ImageLibraryHold();
    ~ImageLibraryHold();
    ImageLibraryHold(const ImageLibraryHold&) = delete;
    ImageLibraryHold& operator=(const ImageLibraryHold&) = delete;

    // Starts the library the first time; false with `error` when it cannot be started.
    bool start(std::string& error);

  private:
    struct Library;
    std::unique_ptr<Library> library_;
};

// An animated GIF being written, looping forever, from the images a GifImagePlanner gives: its colour table
// holds the palette's colours. Each call returns false with `error` set on failure; after a failure, and
// when the writer goes without close(), the file is closed and removed.
class GifWriter {
  public:
    GifWriter() = default;
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    bool open(const char* path, const GifPalette& palette, std::string& error);
    bool addImage(const GifImage& image, std::string& error);
    bool close(std::string& error);
    bool isOpen() const { return file_ != nullptr; }

  private:
    bool finish(std::string& error);
    bool abandon(std::string& error);

    void* file_ = nullptr;  // the library's GifFileType
    std::string path_;
    GifPalette palette_;
};

// One frame as an 8-bit RGB PNG.
bool writePng(const std::string& path, const FrameIndices& frame, std::string& error);

// "frame-0001.png" for frame 1.
std::string pngName(std::size_t frameNumber);

}  // namespace animdump
