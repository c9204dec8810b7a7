// --frames-dir: every frame as a 190x170 BMP, so that animconv use0xfe over them gives the same stream.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "convert/frame_encoder.h"

namespace animmake::output {

enum class BmpDepth { cubePalette8, direct24 };

// Creates the folder when missing (one level). False with `error` when it cannot be used.
bool prepareFramesDir(const std::string& folder, std::string& error);

// "frame-000001.bmp" for `number` 1: names sort in frame order up to 999,999 frames.
std::string frameFileName(std::size_t number);

// Writes frames as BMP files: 8-bit with the colour cube as its palette (every colour must be level x 51),
// or 24-bit. Its buffers are its own: one writer per run, on the thread that writes the stream.
class FrameBmpWriter {
  public:
    explicit FrameBmpWriter(BmpDepth depth);
    ~FrameBmpWriter();
    FrameBmpWriter(const FrameBmpWriter&) = delete;
    FrameBmpWriter& operator=(const FrameBmpWriter&) = delete;

    // False with `error` when the file cannot be written.
    bool write(const std::string& path, const animconv::FrameBuffer& frame, std::string& error);

  private:
    struct Buffers;
    BmpDepth depth_;
    std::unique_ptr<Buffers> buffers_;
};

}  // namespace animmake::output
