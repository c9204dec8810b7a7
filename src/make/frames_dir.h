// --frames-dir: every frame as a 190x170 BMP, so that animconv use0xfe over them gives the same stream.
#pragma once

#include <cstddef>
#include <string>

#include "convert/frame_encoder.h"

namespace animmake {

enum class BmpDepth { cubePalette8, direct24 };

// Creates the folder when missing (one level). False with `error` when it cannot be used.
bool prepareFramesDir(const std::string& folder, std::string& error);

// "frame-000001.bmp" for `number` 1: names sort in frame order up to 999,999 frames.
std::string frameFileName(std::size_t number);

// Writes `frame` as `path`: 8-bit with the colour cube as its palette (every colour must be level x 51),
// or 24-bit. False with `error` when the file cannot be written.
bool writeFrameBmp(const std::string& path, const animconv::FrameBuffer& frame, BmpDepth depth,
                   std::string& error);

}  // namespace animmake
