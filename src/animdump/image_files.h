// Writing decoded frames as image files: an animated GIF (giflib) and one PNG per frame (libpng); the
// Windows build writes the PNGs through libvips, and the GIF too when it is built without giflib. Each is
// written beside its name and renamed into place once whole (toolkit::ReplacingFile): a failed write leaves
// the file that was there as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "animdump/gif_images.h"
#include "stream/stream_reader.h"
#include "toolkit/replacing_file.h"

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
// when the writer goes without close() or the program is interrupted, the file is left as it was before
// open().
class GifWriter {
  public:
    GifWriter() = default;
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    bool open(const char* path, const GifPalette& palette, std::string& error);
    bool addImage(const GifImage& image, std::string& error);
    bool close(std::string& error);
    bool isOpen() const { return state_ != nullptr; }

  private:
    friend int takeGifBytes(GifWriter& writer, const std::uint8_t* bytes, int count);
    bool abandon(std::string& error);

    void* state_ = nullptr;  // the library's writer: giflib's GifFileType, or the frames for libvips
    toolkit::ReplacingFile file_;
    const toolkit::RemovedOnInterrupt interrupts_{file_};
    std::vector<std::uint8_t> unwritten_;  // bytes given to the file but not yet written
    std::string writeReason_;              // why the file took no more
    GifPalette palette_;
};

// Reads frame `number` at `offset` of a checked stream into `marked` (its unchanged markers kept) and
// `pixels` (the picture it shows, updated from the frame before).
animconv::FrameSummary readShownFrame(animconv::StreamView stream, std::size_t offset, std::size_t number,
                                      FrameIndices& marked, FrameIndices& pixels);

// The GIF's colour table for the first `frames` frames of a checked stream: the colours some frame shows.
GifPalette paletteOfStream(animconv::StreamView stream, std::size_t frames, FrameIndices& scratch);

// One frame as an 8-bit RGB PNG.
bool writePng(const std::string& path, const FrameIndices& frame, std::string& error);

// "frame-0001.png" for frame 1.
std::string pngName(std::size_t frameNumber);

}  // namespace animdump
