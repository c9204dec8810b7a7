#pragma once

#include <cstdint>

namespace animconv {

// Turns the BMP image at `inputPath` into one frame appended to `outputPath`. Returns only when the frame
// is written; any failure prints its message and ends the process with status 1.
void convertFrame(const char* inputPath, const char* outputPath, std::uint8_t waitByte);

constexpr int kExitFrameFailure = 1;

}  // namespace animconv
